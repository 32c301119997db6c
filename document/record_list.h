#pragma once
// The list of recordings, newest first. A new entry goes before the first entry that does not go
// before it, so among equal dates the latest insertion comes first. A path is listed once.
#include <memory>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "document/record_entry.h"

class RecordList {
public:
    size_t size() const { return m_entries.size(); }
    bool empty() const { return m_entries.empty(); }
    const RecordEntry& at(size_t index) const { return *m_entries[index]; }
    RecordEntry& at(size_t index) { return *m_entries[index]; }

    // The index of the entry; inserted is false when the path was listed already (its index is
    // returned then).
    int insert(RecordEntry entry, bool* inserted = nullptr);
    // Many entries at once, in the order that one insert() each would give.
    void insert_all(std::vector<RecordEntry> entries);
    // -1 when the path is not listed.
    int find(std::u16string_view path) const;
    void remove_at(size_t index);
    // Gives the entry at index a new path.
    void rename_at(size_t index, std::u16string path);
    void clear();
    void reserve(size_t count) { m_entries.reserve(count); }

private:
    // Entries are held by pointer so an insertion near the front moves pointers, not records.
    std::vector<std::unique_ptr<RecordEntry>> m_entries;
    std::unordered_set<std::u16string> m_paths;
};

class RecordCache;

// Fills the list from every storage folder at once (the record files with readable information),
// through the cache when one is given.
void rescan_records(RecordList& list, RecordCache* cache = nullptr);
