#include "os/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace os {
namespace {

std::string native(std::u16string_view path) { return to_utf8(expand_path(path)); }

DateTime to_date_time(const struct statx_timestamp& stamp) {
    return DateTime::from_unix_time(stamp.tv_sec, stamp.tv_nsec);
}

int fsync_folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int handle = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle < 0) return errno;
    const int error = ::fsync(handle) == 0 ? 0 : errno;
    ::close(handle);
    return error;
}

// ".NAME" + suffix in NAME's folder.
std::string hidden_beside(const std::string& path, const char* suffix) {
    const size_t slash = path.rfind('/');
    const size_t name = slash == std::string::npos ? 0 : slash + 1;
    return path.substr(0, name) + "." + path.substr(name) + suffix;
}

int rename_no_replace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // A file system that cannot refuse to replace by itself: a hard link can, where there is one.
    if (::link(from.c_str(), to.c_str()) == 0) return ::unlink(from.c_str()) == 0 ? 0 : errno;
    if (errno == EEXIST) return EEXIST;
    struct stat info {};
    if (::lstat(to.c_str(), &info) == 0) return EEXIST;
    return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool write_all(int handle, const char* data, size_t size) {
    for (size_t done = 0; done < size;) {
        const ssize_t w = ::write(handle, data + done, size - done);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += static_cast<size_t>(w);
    }
    return true;
}

// Opens a leftover and takes its lock, so a working file another process still holds is never
// touched; -1 when it is in use or gone. The descriptor keeps the lock until it is closed.
int open_abandoned(const std::string& path) {
    const int handle = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (handle < 0) return -1;
    struct stat held {};
    struct stat named {};
    // Taken and still under its name: not renamed into place or replaced meanwhile.
    if (::flock(handle, LOCK_EX | LOCK_NB) != 0 || ::fstat(handle, &held) != 0 || !S_ISREG(held.st_mode) ||
        ::lstat(path.c_str(), &named) != 0 || named.st_ino != held.st_ino || named.st_dev != held.st_dev) {
        ::close(handle);
        return -1;
    }
    return handle;
}

// Copies a file to a new name on another volume, then deletes the original, so that a kill at any
// moment leaves one whole file under its name (and hidden leftovers that tidy_leftover clears):
// the copy is written under a hidden name and made durable; a journal beside the original names
// the target; the copy takes its name; the original and the journal go.
int copy_then_delete(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (in < 0) return errno;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EXDEV : errno != 0 ? errno : EINVAL;
        ::close(in);
        return error;
    }
    const std::string temporary = hidden_beside(to, ".moving");
    tidy_leftover(from_utf8(temporary));
    const int out = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    (void)::flock(out, LOCK_EX | LOCK_NB);
    int error = 0;
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t n = ::read(in, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) error = errno;
        if (n <= 0) break;
        for (ssize_t done = 0; done < n && error == 0;) {
            const ssize_t w = ::write(out, buffer + done, static_cast<size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0)
                error = w < 0 ? errno : ENOSPC;
            else
                done += w;
        }
        if (error != 0) break;
    }
    ::close(in);
    if (error == 0 && ::fsync(out) != 0) error = errno;
    int journal = -1;
    const std::string journal_path = hidden_beside(from, ".move");
    if (error == 0) {
        tidy_leftover(from_utf8(journal_path));
        journal = ::open(journal_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (journal < 0) error = errno;
    }
    if (error == 0) {
        (void)::flock(journal, LOCK_EX | LOCK_NB);
        const std::string text = to + "\n" + std::to_string(static_cast<long long>(info.st_size)) + "\n";
        if (!write_all(journal, text.data(), text.size()) || ::fsync(journal) != 0) error = errno != 0 ? errno : EIO;
        if (error == 0) error = fsync_folder_of(from);
    }
    if (error == 0) error = rename_no_replace(temporary, to);
    if (error != 0) {
        ::unlink(temporary.c_str());
        if (journal >= 0) ::unlink(journal_path.c_str());
    } else {
        // From here the copy is the file: the original and the journal only have to go.
        (void)fsync_folder_of(to);
        error = ::unlink(from.c_str()) == 0 ? 0 : errno;
        (void)fsync_folder_of(from);
        ::unlink(journal_path.c_str());
    }
    if (journal >= 0) ::close(journal);
    ::close(out);
    return error;
}

bool statvfs_of(const std::string& path, struct statvfs& out) { return ::statvfs(path.c_str(), &out) == 0; }

}  // namespace

void FileInfo::look_up(std::u16string_view where) {
    *this = FileInfo();
    path = std::u16string(where);
    const std::string name = native(where);
    struct statx info {};
    if (::statx(AT_FDCWD, name.c_str(), 0, STATX_BASIC_STATS | STATX_BTIME, &info) != 0) {
        error = errno;
        return;
    }
    attributes = 0;
    if (S_ISDIR(info.stx_mode)) attributes |= kFolder;
    if (::access(name.c_str(), W_OK) != 0) attributes |= kReadOnly;
    const std::u16string file_name = file_name_of(strip_separator(expand_path(where)));
    if (!file_name.empty() && file_name.front() == u'.') attributes |= kHidden;
    if (attributes == 0) attributes = kNormal;
    full_size = info.stx_size;
    size = static_cast<uint32_t>(info.stx_size & 0xFFFFFFFF);
    creation_time = to_date_time((info.stx_mask & STATX_BTIME) ? info.stx_btime : info.stx_ctime);
    last_write_time = to_date_time(info.stx_mtime);
    inode = info.stx_ino;
    write_ns = info.stx_mtime.tv_sec * 1000000000LL + info.stx_mtime.tv_nsec;
    change_ns = info.stx_ctime.tv_sec * 1000000000LL + info.stx_ctime.tv_nsec;
}

bool create_directory(std::u16string_view path) {
    const std::u16string expanded = expand_path(path);
    if (expanded.empty()) return false;
    const std::u16string parent = parent_of(expanded);
    if (!parent.empty()) create_directory(parent);
    const std::u16string folder = strip_separator(expanded);
    const bool made = !folder.empty() && ::mkdir(to_utf8(folder).c_str(), 0755) == 0;
    log() << u"CreateDirectoryW {" << folder << u"} result=" << made << u"\n";
    struct stat info {};
    return made || (::stat(to_utf8(folder.empty() ? u"/" : folder).c_str(), &info) == 0 && S_ISDIR(info.st_mode));
}

bool make_folder_private(std::u16string_view path) {
    const std::string folder = native(path);
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid()) return false;
    return (info.st_mode & 077) == 0 || ::chmod(folder.c_str(), info.st_mode & 07700) == 0;
}

bool delete_file(std::u16string_view path) { return ::unlink(native(path).c_str()) == 0; }

bool move_by_copy(std::u16string_view from, std::u16string_view to, FileInfo* result) {
    const int error = copy_then_delete(native(from), native(to));
    if (result) result->error = error;
    return error == 0;
}

bool move_file(std::u16string_view from, std::u16string_view to, FileInfo* result) {
    const std::string source = native(from);
    const std::string target = native(to);
    int error = 0;
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // The file system cannot refuse to replace by itself: look first.
            struct stat info {};
            if (::lstat(target.c_str(), &info) == 0) {
                error = EEXIST;
            } else {
                error = ::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
            }
        }
        if (error == EXDEV) error = copy_then_delete(source, target);
    }
    if (result) result->error = error;
    return error == 0;
}

bool replace_file(std::u16string_view from, std::u16string_view to) {
    const std::string source = native(from);
    const std::string target = native(to);
    struct stat old_info {};
    if (::stat(target.c_str(), &old_info) == 0) ::chmod(source.c_str(), old_info.st_mode & 07777);
    if (::rename(source.c_str(), target.c_str()) != 0) return false;
    const std::string folder = to_utf8(folder_of(expand_path(to)));
    const int handle = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (handle >= 0) {
        ::fsync(handle);
        ::close(handle);
    }
    return true;
}

bool is_leftover(std::u16string_view path) {
    const std::u16string name = file_name_of(path);
    if (name.size() < 2 || name.front() != u'.') return false;
    for (std::u16string_view suffix : {u".moving", u".move", u".retitle"}) {
        if (name.size() > suffix.size() + 1 && name.ends_with(suffix)) return true;
    }
    return false;
}

bool tidy_leftover(std::u16string_view path) {
    if (!is_leftover(path)) return false;
    const std::string native_path = native(path);
    const int handle = open_abandoned(native_path);
    if (handle < 0) return true;
    const std::u16string name = file_name_of(path);
    if (!name.ends_with(u".move")) {
        // A copy that never got its name: the original is still where it was.
        if (::unlink(native_path.c_str()) == 0) log() << u"removed the leftover " << std::u16string(path) << u"\n";
        ::close(handle);
        return true;
    }
    // A move's journal: when the copy got its name whole, the move only lacked the original's removal.
    std::string text(4096, '\0');
    const ssize_t got = ::read(handle, text.data(), text.size());
    text.resize(got > 0 ? static_cast<size_t>(got) : 0);
    const size_t first = text.find('\n');
    const std::string target = first == std::string::npos ? std::string() : text.substr(0, first);
    const long long size = first == std::string::npos ? -1 : std::atoll(text.c_str() + first + 1);
    const std::u16string original = join(folder_of(path), name.substr(1, name.size() - 1 - 5));
    struct stat copy {};
    // A journal cut short was killed before the copy took its name (that comes after the journal
    // is whole): there is nothing to finish.
    const bool whole = !target.empty() && size >= 0 && text.find('\n', first + 1) != std::string::npos;
    if (whole && ::lstat(target.c_str(), &copy) == 0 && S_ISREG(copy.st_mode) && copy.st_size == size &&
        exists(original)) {
        if (::unlink(native(original).c_str()) == 0) {
            log() << u"finished the interrupted move of " << original << u" to " << from_utf8(target) << u"\n";
        }
    }
    ::unlink(native_path.c_str());
    ::close(handle);
    return true;
}

bool exists(std::u16string_view path) { return FileInfo(path).exists(); }

double volume_size(std::u16string_view path) {
    struct statvfs info {};
    if (!statvfs_of(native(path), info)) return 0;
    return static_cast<double>(info.f_blocks) * static_cast<double>(info.f_frsize);
}

double root_free_space(std::u16string_view path) {
    std::u16string folder = strip_separator(expand_path(path));
    struct statvfs info {};
    for (;;) {
        if (statvfs_of(to_utf8(folder.empty() ? u"/" : folder), info)) {
            return static_cast<double>(info.f_bavail) * static_cast<double>(info.f_frsize);
        }
        if (folder.empty() || errno != ENOENT) return 0;
        folder = strip_separator(parent_of(folder));
    }
}

}  // namespace os
