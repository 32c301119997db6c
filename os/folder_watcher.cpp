#include "os/folder_watcher.h"

#include <dirent.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <unordered_map>
#include <vector>

#include "os/path.h"
#include "os/text.h"

namespace os {

namespace {

// A file counts once it was closed after writing, so a copy in progress is not read half-made;
// creation is looked at only for links, which are never written.
constexpr uint32_t kWatchMask =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_MOVED_FROM | IN_DELETE | IN_CREATE | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

bool is_folder(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// A new name for a file that was never written: a symbolic link, or a hard link to a file that
// exists elsewhere.
bool is_link_in(const std::string& path) {
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0) return false;
    return S_ISLNK(info.st_mode) || (S_ISREG(info.st_mode) && info.st_nlink > 1);
}

bool is_in_tree(std::u16string_view path, std::u16string_view folder) {
    return path == folder ||
           (path.size() > folder.size() && path.substr(0, folder.size()) == folder && path[folder.size()] == u'/');
}

}  // namespace

struct FolderWatcher::Impl {
    ~Impl() {
        if (fd >= 0) ::close(fd);
    }

    // Watches the folder and, as the scanner walks them, the real folders below it (links to
    // folders are not followed, so a link cycle cannot make this endless).
    void add_tree(const std::u16string& folder) {
        const std::string native = to_utf8(folder);
        const int wd = ::inotify_add_watch(fd, native.c_str(), kWatchMask);
        if (wd < 0) return;
        const auto [place, fresh] = folders.emplace(wd, folder);
        // The same folder reached by a second path (a bind mount) is watched under its first.
        if (!fresh) return;
        DIR* dir = ::opendir(native.c_str());
        if (!dir) return;
        std::vector<std::u16string> below;
        while (const dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            bool folder_entry = entry->d_type == DT_DIR;
            if (entry->d_type == DT_UNKNOWN) {
                struct stat info {};
                folder_entry = ::lstat((native + "/" + entry->d_name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
            }
            if (folder_entry) below.push_back(join(folder, from_utf8(name)));
        }
        ::closedir(dir);
        for (const std::u16string& path : below) add_tree(path);
    }

    void remove_tree(std::u16string_view folder) {
        for (auto at = folders.begin(); at != folders.end();) {
            if (is_in_tree(at->second, folder)) {
                ::inotify_rm_watch(fd, at->first);
                at = folders.erase(at);
            } else {
                ++at;
            }
        }
    }

    bool is_root(std::u16string_view folder) const {
        return std::find(roots.begin(), roots.end(), folder) != roots.end();
    }

    int fd = -1;
    std::unordered_map<int, std::u16string> folders;  // by watch descriptor
    std::vector<std::u16string> roots;
    std::vector<std::u16string> missing;  // roots waiting to exist
};

FolderWatcher::FolderWatcher(FolderWatcherObserver& observer) : m_observer(observer), m_impl(std::make_unique<Impl>()) {
    m_impl->fd = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
}

FolderWatcher::~FolderWatcher() = default;

bool FolderWatcher::is_valid() const { return m_impl->fd >= 0; }

void FolderWatcher::watch(std::u16string_view folder) {
    if (!is_valid()) return;
    const std::u16string expanded = expand_path(folder);
    const std::u16string root = expanded == u"/" ? expanded : strip_separator(expanded);
    if (m_impl->is_root(root)) return;
    m_impl->roots.push_back(root);
    if (is_folder(to_utf8(root))) {
        m_impl->add_tree(root);
    } else {
        m_impl->missing.push_back(root);
    }
}

void FolderWatcher::check() {
    if (!is_valid()) return;
    Impl& impl = *m_impl;
    for (size_t i = 0; i < impl.missing.size();) {
        const std::u16string root = impl.missing[i];
        if (!is_folder(to_utf8(root))) {
            ++i;
            continue;
        }
        impl.missing.erase(impl.missing.begin() + static_cast<std::ptrdiff_t>(i));
        impl.add_tree(root);
        m_observer.on_folder_added(root);
    }
    alignas(inotify_event) char buffer[16384];
    for (;;) {
        const ssize_t got = ::read(impl.fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                m_observer.on_changes_lost();
                continue;
            }
            const auto watched = impl.folders.find(event->wd);
            if (watched == impl.folders.end()) continue;
            if (event->mask & IN_IGNORED) {
                impl.folders.erase(watched);
                continue;
            }
            const std::u16string folder = watched->second;
            if (event->len == 0 || event->name[0] == '\0') {
                // Below a root, the folder's parent tells of its going; a root has none watched.
                if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) && impl.is_root(folder)) {
                    impl.remove_tree(folder);
                    impl.missing.push_back(folder);
                    m_observer.on_folder_removed(folder);
                }
                continue;
            }
            const std::u16string path = join(folder, from_utf8(event->name));
            if (event->mask & IN_ISDIR) {
                if (event->mask & (IN_CREATE | IN_MOVED_TO)) {
                    impl.add_tree(path);
                    m_observer.on_folder_added(path);
                } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                    impl.remove_tree(path);
                    m_observer.on_folder_removed(path);
                }
            } else if (event->mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) {
                m_observer.on_file_added(path);
            } else if (event->mask & (IN_DELETE | IN_MOVED_FROM)) {
                m_observer.on_file_removed(path);
            } else if ((event->mask & IN_CREATE) && is_link_in(to_utf8(path))) {
                m_observer.on_file_added(path);
            }
        }
    }
}

}  // namespace os
