#pragma once
// The waveform peaks of recordings, kept in a table of their own in the record cache's database
// ("records.db"), so that a recording is never read twice for its shape. A row serves only the
// version of the file it was made from (the same size, times and inode, as the record cache
// checks); any other version counts as unknown. Like the record cache it holds nothing the files
// do not: an unusable database is simply done without.
//
// One thread at a time (the GUI thread).
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "audio/peaks.h"

class PeakCache {
public:
    explicit PeakCache(std::u16string path);
    ~PeakCache();
    PeakCache(const PeakCache&) = delete;
    PeakCache& operator=(const PeakCache&) = delete;

    bool is_open() const;
    // The peaks of this version of the file at path, when they are kept.
    std::optional<std::vector<PeakPair>> load(std::u16string_view path);
    // Keeps the peaks for the file's version of now; false when they could not be written.
    bool store(std::u16string_view path, const std::vector<PeakPair>& peaks);
    void forget(std::u16string_view path);
    // Whether a row for path exists, whatever version of the file it was made from.
    bool has_row(std::u16string_view path);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};
