#include "os/file_system.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

#include "os/log.h"
#include "os/path.h"
#include "os/text.h"

namespace os {
namespace {

std::string native(std::u16string_view path) { return to_utf8(expand_path(path)); }

DateTime to_date_time(const struct statx_timestamp& stamp) {
    return DateTime::from_unix_time(stamp.tv_sec, stamp.tv_nsec);
}

// Copies a file to a new name on another volume, then deletes the original. A partly written copy
// is removed, so a failed move leaves the file where it was.
int copy_then_delete(const std::string& from, const std::string& to) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) return errno;
    struct stat info {};
    if (::fstat(in, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EXDEV : errno;
        ::close(in);
        return error;
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 0777);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
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
    if (error == 0 && ::fsync(out) != 0) error = errno;
    if (::close(out) != 0 && error == 0) error = errno;
    ::close(in);
    if (error != 0) {
        ::unlink(to.c_str());
        return error;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
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

bool delete_file(std::u16string_view path) { return ::unlink(native(path).c_str()) == 0; }

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
