#include "document/record_list.h"

#include <algorithm>

#include "document/record_cache.h"
#include "document/record_files.h"
#include "document/storages.h"
#include "os/file_system.h"
#include "os/walk.h"

int RecordList::insert(RecordEntry entry, bool* inserted) {
    if (m_paths.count(entry.path)) {
        if (inserted) *inserted = false;
        return find(entry.path);
    }
    // The list is ordered by date, newest first, and holds each path once, so the first entry that
    // does not go before the new one is the first that is not newer.
    const auto place =
        std::partition_point(m_entries.begin(), m_entries.end(),
                             [&](const std::unique_ptr<RecordEntry>& e) { return e->date > entry.date; });
    m_paths.insert(entry.path);
    const auto index = place - m_entries.begin();
    m_entries.insert(place, std::make_unique<RecordEntry>(std::move(entry)));
    if (inserted) *inserted = true;
    return static_cast<int>(index);
}

void RecordList::insert_all(std::vector<RecordEntry> entries) {
    std::vector<std::unique_ptr<RecordEntry>> added;
    added.reserve(entries.size());
    for (RecordEntry& entry : entries) {
        if (!m_paths.insert(entry.path).second) continue;
        added.push_back(std::make_unique<RecordEntry>(std::move(entry)));
    }
    // One insertion after another puts a later one before earlier ones of the same date: the same
    // as a stable sort of the reversed arrival order, with the new ones before older equal dates.
    std::reverse(added.begin(), added.end());
    added.insert(added.end(), std::make_move_iterator(m_entries.begin()), std::make_move_iterator(m_entries.end()));
    std::stable_sort(added.begin(), added.end(), [](const auto& a, const auto& b) { return a->date > b->date; });
    m_entries = std::move(added);
}

int RecordList::find(std::u16string_view path) const {
    for (size_t i = 0; i < m_entries.size(); ++i) {
        if (m_entries[i]->path == path) return static_cast<int>(i);
    }
    return -1;
}

void RecordList::remove_at(size_t index) {
    m_paths.erase(m_entries[index]->path);
    m_entries.erase(m_entries.begin() + static_cast<std::ptrdiff_t>(index));
}

void RecordList::rename_at(size_t index, std::u16string path) {
    m_paths.erase(m_entries[index]->path);
    m_paths.insert(path);
    m_entries[index]->path = std::move(path);
}

void RecordList::clear() {
    m_entries.clear();
    m_paths.clear();
}

void rescan_records(RecordList& list, RecordCache* cache) {
    list.clear();
    list.reserve(20);
    std::vector<RecordEntry> found;
    bool tidied = false;
    for (const StorageEntry& storage : storages()) {
        os::walk(
            storage.path, u"*", u"*", true,
            [&](const std::u16string& path) {
                if (os::tidy_leftover(path)) {
                    tidied = true;
                } else if (is_record_file(path)) {
                    RecordEntry entry = cache ? cache->entry_of(path) : record_entry(path, true, true);
                    if (entry.valid) found.push_back(std::move(entry));
                }
                return true;
            },
            [](const std::u16string&) { return true; });
    }
    // A move finished by the tidying may have taken away an original the walk had already met.
    if (tidied) std::erase_if(found, [](const RecordEntry& entry) { return !os::exists(entry.path); });
    list.insert_all(std::move(found));
}
