#include "os/scanner/folder_scanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include "os/path.h"
#include "os/text.h"

namespace os {

namespace {
constexpr double step_seconds = 0.001;

enum class EntryKind { File, Folder, Other };
}  // namespace

// One open directory and the entry it is positioned on.
struct FolderScanner::Search {
    DIR* dir = nullptr;
    std::string folder;  // UTF-8, for stat()
    std::string name;    // current entry
    EntryKind kind = EntryKind::Other;

    ~Search() {
        if (dir) ::closedir(dir);
    }

    // Moves to the next entry other than "." and ".."; false when there is none.
    bool next() {
        while (dirent* entry = ::readdir(dir)) {
            const std::string_view name = entry->d_name;
            if (name == "." || name == "..") continue;
            this->name = name;
            kind = kind_of(*entry);
            return true;
        }
        return false;
    }

    EntryKind kind_of(const dirent& entry) const {
        if (entry.d_type == DT_REG) return EntryKind::File;
        if (entry.d_type == DT_DIR) return EntryKind::Folder;
        if (entry.d_type != DT_LNK && entry.d_type != DT_UNKNOWN) return EntryKind::Other;
        struct stat info {};
        const std::string path = folder + "/" + entry.d_name;
        if (::lstat(path.c_str(), &info) != 0) return EntryKind::Other;
        if (S_ISDIR(info.st_mode)) return EntryKind::Folder;
        // A link to a file counts as the file; a link to a folder is not followed, so a link
        // cycle cannot make a recursive scan endless.
        if (S_ISLNK(info.st_mode) && ::stat(path.c_str(), &info) != 0) return EntryKind::Other;
        // Devices, pipes and sockets are no recordings; opening a pipe would block the GUI.
        return S_ISREG(info.st_mode) ? EntryKind::File : EntryKind::Other;
    }
};

FolderScanner::FolderScanner(FolderScannerObserver& observer) : m_observer(observer), m_timer(*this) {}

FolderScanner::~FolderScanner() = default;

void FolderScanner::start(std::u16string_view folder, bool recursive) {
    m_timer.cancel();
    m_recursive = recursive;
    m_queue.push_back(expand_path(folder));
    m_search.reset();
    m_timer.after(step_seconds);
}

void FolderScanner::begin_search() {
    m_current = m_queue.front();
    m_queue.pop_front();
    auto search = std::make_unique<Search>();
    search->folder = to_utf8(m_current);
    search->dir = ::opendir(search->folder.empty() ? "/" : search->folder.c_str());
    // An unreadable folder, or an empty one, ends the step with nothing found.
    if (search->dir && search->next()) m_search = std::move(search);
}

void FolderScanner::advance() {
    if (!m_search->next()) m_search.reset();
}

void FolderScanner::on_timer(Timer&) {
    if (!m_search) {
        if (m_queue.empty()) {
            m_observer.on_finished();
            return;
        }
        begin_search();
    }
    if (m_search) {
        const std::u16string path = join(m_current, from_utf8(m_search->name));
        const EntryKind kind = m_search->kind;
        advance();
        if (kind == EntryKind::File) {
            // Armed before the report so that the observer may start a new scan from on_file.
            m_timer.after(step_seconds);
            m_observer.on_file(path);
            return;
        }
        if (kind == EntryKind::Folder && m_recursive) m_queue.push_back(path);
    }
    m_timer.after(step_seconds);
}

}  // namespace os
