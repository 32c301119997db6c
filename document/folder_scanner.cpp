#include "document/folder_scanner.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <ctime>

#include "os/path.h"
#include "os/text.h"

namespace os {

namespace {
constexpr double step_seconds = 0.001;

enum class EntryKind { File, Folder, Other };

// Time this thread ran, which a busy machine's other programs do not stretch.
double thread_cpu_seconds() {
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}
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
    // The folder being read stays open: dropping it would lose the rest of its entries from the
    // list when a new folder appears while the start-up scan runs.
    m_timer.after(step_seconds);
}

void FolderScanner::add_file(std::u16string path) {
    m_files.push_back(std::move(path));
    if (!m_timer.is_armed()) m_timer.after(step_seconds);
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

bool FolderScanner::step() {
    if (!m_files.empty()) {
        const std::u16string path = std::move(m_files.front());
        m_files.pop_front();
        m_observer.on_file(path);
        return true;
    }
    if (!m_search) {
        if (m_queue.empty()) {
            m_timer.cancel();
            m_observer.on_finished();
            return false;
        }
        begin_search();
        if (!m_search) return true;
    }
    const std::u16string path = join(m_current, from_utf8(m_search->name));
    const EntryKind kind = m_search->kind;
    advance();
    if (kind == EntryKind::File) m_observer.on_file(path);
    if (kind == EntryKind::Folder && m_recursive) m_queue.push_back(path);
    return true;
}

void FolderScanner::on_timer(Timer&) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point begin = Clock::now();
    const double cpu_begin = thread_cpu_seconds();
    const auto slice = std::chrono::duration<double>(m_slice_seconds);
    // Armed before the reports so that the observer may start a new scan from on_file; a step
    // that finishes the scan cancels it again.
    m_timer.after(step_seconds);
    bool going = true;
    do {
        going = step();
    } while (going && Clock::now() - begin < slice);
    m_longest_slice = std::max(m_longest_slice, std::chrono::duration<double>(Clock::now() - begin).count());
    m_longest_slice_cpu = std::max(m_longest_slice_cpu, thread_cpu_seconds() - cpu_begin);
}

}  // namespace os
