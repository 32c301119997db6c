#pragma once
// What the record list needs of each recording, kept between runs in an SQLite database beside the
// registry ("records.db"), so that a start lists thousands of recordings without opening them.
//
// A row serves only the version of the file it was read from: the same size, modification and
// change times to the nanosecond and the same inode; anything else reads the file again. The size
// text and the date always come from the file's directory entry of now. The database holds
// nothing the files do not: a damaged one is deleted and started afresh, and a locked or unusable
// one is done without (every file is then read), so it never stops the list from being built.
// Other processes (the tool, a second instance) may use the same database at the same time.
//
// One thread at a time (the GUI thread in the program).
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "document/record_entry.h"

class RecordCache {
public:
    // Opens (creating when missing) the database at path.
    explicit RecordCache(std::u16string path = default_path());
    ~RecordCache();
    RecordCache(const RecordCache&) = delete;
    RecordCache& operator=(const RecordCache&) = delete;

    // "records.db" in the folder of the registry database.
    static std::u16string default_path();

    // False while the database cannot be used; the cache then reads every file and keeps nothing.
    bool is_open() const;

    // The list entry of the file at path, the same as record_entry(path) gives: from the cache when
    // it knows this version of the file, else read from the file and kept for the next time.
    RecordEntry entry_of(std::u16string_view path);
    // The file is gone (or will be read afresh): its row goes.
    void forget(std::u16string_view path);
    // Writes the rows read since the last commit (they are also written in batches on the way).
    void commit();

    // A scan of every recordings folder begins: the files it meets are noted.
    void begin_sweep();
    // The scan has met every file: commits, then drops the rows of the files it did not meet (on
    // a thread of its own, which finish_sweep() or the destructor waits for).
    void end_sweep();
    void finish_sweep();

    // Since the cache was opened: entries served from rows, and entries read from their files.
    size_t hits() const { return m_hits; }
    size_t misses() const { return m_misses; }

private:
    struct Impl;

    std::unique_ptr<Impl> m_impl;
    size_t m_hits = 0;
    size_t m_misses = 0;
};
