#pragma once
// A folder walk in small steps on the scheduler's timer, so the GUI stays responsive while the
// recordings folders are read: each 0.001 s expiry handles exactly one directory entry. Files are
// reported with their full path (folder + "/" + name); unreadable folders are skipped.
//
// GUI thread only. The observer is not owned and must outlive the scanner.
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "app/core/timer.h"

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

    // Queues the folder (macros expanded) and restarts the stepping; a scan under way goes on
    // with the folders already queued but drops the folder it was reading.
    void start(std::u16string_view folder, bool recursive);
    // True from start() until on_finished().
    bool is_scanning() const { return m_timer.is_armed(); }

private:
    struct Search;

    void on_timer(Timer& timer) override;
    void begin_search();
    // Reads the next entry of the current search; closes the search when there is none.
    void advance();

    FolderScannerObserver& m_observer;
    Timer m_timer;
    std::deque<std::u16string> m_queue;
    bool m_recursive = false;
    std::unique_ptr<Search> m_search;  // null between folders
    std::u16string m_current;
};

}  // namespace os
