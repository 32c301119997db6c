#pragma once
// Notices what other programs (a file manager, a sync tool) do in the recordings folders, through
// the kernel's inotify, so the list follows without a new scan. A folder is watched with every
// folder below it; folders that appear are watched as they come.
//
// Nothing runs by itself: check() reads what the kernel noted since the last call and reports it,
// in the order it happened, with paths made as the FolderScanner makes them (folder + "/" + name),
// so they match the listed ones. The owner calls it from a timer it already runs.
//
// GUI thread only. The observer is not owned and must outlive the watcher.
#include <memory>
#include <string>
#include <string_view>

namespace os {

class FolderWatcherObserver {
public:
    virtual ~FolderWatcherObserver() = default;
    // A file was written and closed, moved in, or linked in.
    virtual void on_file_added(std::u16string_view path) = 0;
    // A file was deleted or moved away.
    virtual void on_file_removed(std::u16string_view path) = 0;
    // A folder was made or moved in (with whatever it holds, which is not reported file by file),
    // or a watched folder that did not exist appeared.
    virtual void on_folder_added(std::u16string_view path) = 0;
    // A folder went away with everything below it, which is not reported file by file.
    virtual void on_folder_removed(std::u16string_view path) = 0;
    // The kernel dropped changes (its queue overflowed): only a new scan tells what is there.
    virtual void on_changes_lost() = 0;
};

class FolderWatcher final {
public:
    explicit FolderWatcher(FolderWatcherObserver& observer);
    ~FolderWatcher();
    FolderWatcher(const FolderWatcher&) = delete;
    FolderWatcher& operator=(const FolderWatcher&) = delete;

    // False when the system gives no inotify (too many instances, no kernel support): nothing is
    // then reported.
    bool is_valid() const;

    // Watches the folder (macros expanded) and the tree below it. A folder that does not exist
    // yet is looked for at each check and reported with on_folder_added when it appears.
    void watch(std::u16string_view folder);
    // Reports the changes noted since the last call.
    void check();

private:
    struct Impl;

    FolderWatcherObserver& m_observer;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace os
