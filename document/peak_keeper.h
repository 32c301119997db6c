#pragma once
// The waveform peaks of the document's current record: made while it records (and kept when it
// ends), taken from the peak cache when a recording is opened, or computed on a thread of its own
// for a file that has none yet (a file from elsewhere, or one changed by another program), in
// which case they arrive bit by bit and are kept once complete. An append extends the kept ones.
//
// GUI thread only; the computing thread hands its pairs over under a lock held for a copy.
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "audio/peaks.h"

class PeakCache;

class PeakKeeper {
public:
    // The cache database is opened at the first use.
    explicit PeakKeeper(std::u16string cache_path);
    ~PeakKeeper();
    PeakKeeper(const PeakKeeper&) = delete;
    PeakKeeper& operator=(const PeakKeeper&) = delete;

    // A recording into path begins; an append starts from the file's peaks when they are known.
    void begin_recording(const std::u16string& path, bool append);
    // Pairs of the recording, as they reach the file.
    void add_recorded(const std::vector<PeakPair>& pairs);
    // The recording has ended and its file is closed: its peaks are kept.
    void end_recording();
    // The file at path is played: its peaks come from the cache or are computed now. duration in
    // seconds tells how many pairs to expect.
    void open(const std::u16string& path, double duration);
    // The record at old_path now lives at new_path (renamed, its tag rewritten).
    void renamed(const std::u16string& old_path, const std::u16string& new_path);
    // The file at path is gone: its kept peaks go too.
    void forget(const std::u16string& path);
    // Brings in what the computing thread made; true when new pairs came.
    bool poll();

    const std::u16string& path() const { return m_path; }
    const std::vector<PeakPair>& peaks() const { return m_peaks; }
    // How many pairs the whole record will have (at least as many as there are).
    size_t expected() const { return std::max(m_expected, m_peaks.size()); }
    // All pairs are here (not still computing, nothing missing from an append).
    bool is_complete() const { return m_complete; }
    bool is_computing() const { return m_worker.joinable(); }
    PeakCache* cache();

private:
    void cancel_computing();
    void store();

    std::u16string m_cache_path;
    std::unique_ptr<PeakCache> m_cache;
    bool m_cache_tried = false;

    std::u16string m_path;
    std::vector<PeakPair> m_peaks;
    size_t m_expected = 0;
    bool m_complete = false;
    bool m_recording = false;

    std::thread m_worker;
    std::atomic<bool> m_cancel{false};
    std::atomic<bool> m_done{false};
    std::atomic<bool> m_failed{false};
    std::mutex m_shared_lock;
    std::vector<PeakPair> m_shared;
};
