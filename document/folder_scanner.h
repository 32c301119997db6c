#pragma once
// A folder walk in small steps on the scheduler's timer, so the GUI stays responsive while the
// recordings folders are read. Each step handles one directory entry; each 0.001 s expiry runs
// steps for a slice of a few milliseconds (the observer's work on the files included), so a frame
// is never held up for long and yet thousands of entries a second are read. Files are reported
// with their full path (folder + "/" + name), in the same order whatever the slice; unreadable
// folders are skipped.
//
// GUI thread only. The observer is not owned and must outlive the scanner.
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "core/timer.h"

namespace os {

class FolderScannerObserver {
public:
    virtual ~FolderScannerObserver() = default;
    virtual void on_file(std::u16string_view path) = 0;
    // Every queued folder has been read; the scanner stops until the next start().
    virtual void on_finished() = 0;
};

class FolderScanner final : private TimerObserver {
public:
    explicit FolderScanner(FolderScannerObserver& observer);
    ~FolderScanner() override;

    // Slice of an expiry that leaves room for a frame at 60 frames a second.
    static constexpr double default_slice_seconds = 0.004;

    // Queues the folder (macros expanded) and arms the stepping; a scan under way goes on with the
    // folder it is reading and then the others queued.
    void start(std::u16string_view folder, bool recursive);
    // Queues one file to be reported by the stepping, before the folders still queued, so that
    // many files arriving at once (a sync tool's batch) are read in slices like a scan.
    void add_file(std::u16string path);
    // True from start() or add_file() until on_finished().
    bool is_scanning() const { return m_timer.is_armed(); }
    // How long one expiry goes on stepping; 0 makes each expiry exactly one step.
    void set_slice_seconds(double seconds) { m_slice_seconds = seconds; }
    // The longest time one expiry took since the scanner was made, in seconds: on the clock, and
    // of the thread's own running time (which leaves out other programs running meanwhile).
    double longest_slice_seconds() const { return m_longest_slice; }
    double longest_slice_cpu_seconds() const { return m_longest_slice_cpu; }

private:
    struct Search;

    void on_timer(Timer& timer) override;
    // One entry, or the end of a folder; false when the scan finished (on_finished was called).
    bool step();
    void begin_search();
    // Reads the next entry of the current search; closes the search when there is none.
    void advance();

    FolderScannerObserver& m_observer;
    Timer m_timer;
    std::deque<std::u16string> m_queue;
    std::deque<std::u16string> m_files;
    bool m_recursive = false;
    std::unique_ptr<Search> m_search;  // null between folders
    std::u16string m_current;
    double m_slice_seconds = default_slice_seconds;
    double m_longest_slice = 0;
    double m_longest_slice_cpu = 0;
};

}  // namespace os
