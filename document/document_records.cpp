// The document's record list: the scans that fill it and the changes in the recordings folders
// that keep it current.
#include "document/document.h"
#include "document/record_cache.h"
#include "document/record_files.h"
#include "document/unfinished_recordings.h"
#include "os/file_system.h"
#include "os/log.h"

namespace {
bool lies_under(std::u16string_view path, std::u16string_view folder) {
    return path.size() > folder.size() && path.substr(0, folder.size()) == folder && path[folder.size()] == u'/';
}
}  // namespace

std::vector<StorageEntry> Document::storages() const { return ::storages(); }

RecordCache& Document::record_cache() {
    if (!m_cache) m_cache = std::make_unique<RecordCache>();
    return *m_cache;
}

void Document::rescan() {
    const auto began = std::chrono::steady_clock::now();
    RecordCache& cache = record_cache();
    m_files_read_before_scan = cache.misses();
    heal_unfinished_recordings();
    cache.begin_sweep();
    rescan_records(m_records, &cache);
    cache.end_sweep();
    log_scan_end(began);
    notify(DocumentEvent::ListRebuilt);
}

void Document::note_scan_start() {
    if (m_scanner.is_scanning()) return;
    m_scan_began = std::chrono::steady_clock::now();
    m_files_read_before_scan = record_cache().misses();
}

void Document::scan_folder(std::u16string_view folder) {
    note_scan_start();
    m_scanner.start(folder, true);
}

void Document::on_file(std::u16string_view path) {
    // What a killed move or rename left goes as the scan meets it; the watcher reports the rest.
    if (os::tidy_leftover(path)) return;
    if (!is_record_file(path)) return;
    RecordEntry entry = record_cache().entry_of(path);
    if (!entry.valid) return;
    bool inserted = false;
    const int index = m_records.insert(std::move(entry), &inserted);
    if (inserted) notify(DocumentEvent::RecordInserted, index);
}

void Document::on_finished() {
    RecordCache& cache = record_cache();
    cache.end_sweep();
    cache.commit();
    log_scan_end(m_scan_began);
}

void Document::log_scan_end(std::chrono::steady_clock::time_point began) {
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began);
    os::log() << u"record scan: " << static_cast<long long>(m_records.size()) << u" records in "
              << static_cast<long long>(took.count()) << u" ms ("
              << static_cast<long long>(record_cache().misses() - m_files_read_before_scan) << u" files read)\n";
}

void Document::on_file_added(std::u16string_view path) {
    // Read in the scan's slices: a batch of new files must not hold up the frames.
    note_scan_start();
    m_scanner.add_file(std::u16string(path));
}

void Document::on_file_removed(std::u16string_view path) {
    record_cache().forget(path);
    const int index = m_records.find(path);
    if (index < 0) return;
    m_records.remove_at(static_cast<size_t>(index));
    notify(DocumentEvent::RecordDeleted, index);
}

void Document::on_folder_added(std::u16string_view path) { scan_folder(path); }

void Document::on_folder_removed(std::u16string_view path) {
    // From the end, so each event's index is the entry's place when it went.
    for (size_t index = m_records.size(); index-- > 0;) {
        if (!lies_under(m_records.at(index).path, path)) continue;
        record_cache().forget(m_records.at(index).path);
        m_records.remove_at(index);
        notify(DocumentEvent::RecordDeleted, static_cast<int32_t>(index));
    }
}

void Document::on_changes_lost() {
    os::log() << u"record list: changes in the recordings folders were lost; listing them again\n";
    rescan();
}

void Document::update_listed_length() {
    const int index = m_records.find(m_current.path);
    if (index < 0) return;
    // A document that never listed the folders (a tool's recording) does not open the cache for it.
    const RecordEntry read = m_cache ? m_cache->entry_of(m_current.path) : record_entry(m_current.path);
    if (!read.valid) return;
    RecordEntry& listed = m_records.at(static_cast<size_t>(index));
    listed.duration = read.duration;
    listed.size_text = read.size_text;
}
