#pragma once
// One recording as the lists and the current record hold it.
#include <cstdint>
#include <string>

#include "os/date_time.h"

struct RecordEntry {
    std::u16string path;  // expanded, without a trailing separator
    std::u16string artist;
    std::u16string title;
    std::u16string album;
    // The human-readable size in list entries; the codec key in the current record.
    std::u16string size_text;
    int32_t channels = 0;
    int32_t rate = 0;
    int32_t bits = 0;
    int32_t bit_rate = 0;
    double duration = 0.0;
    // The earlier of the file's creation and last-write times.
    os::DateTime date;
    bool valid = false;
};

// A goes before B in the newest-first list.
inline bool goes_before(const RecordEntry& a, const RecordEntry& b) { return a.path != b.path && a.date > b.date; }
