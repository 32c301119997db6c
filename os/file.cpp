#include "os/file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <string>

#include "os/path.h"
#include "os/text.h"

namespace os {

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        close();
        m_handle = other.m_handle;
        other.m_handle = -1;
    }
    return *this;
}

bool File::open(std::u16string_view path, int mode) {
    close();
    int flags = O_CLOEXEC;
    switch (mode) {
        case Read:
            flags |= O_RDONLY;
            break;
        case Write:
            flags |= O_WRONLY | O_CREAT | O_TRUNC;
            break;
        case Append:
            flags |= O_WRONLY | O_CREAT;
            break;
        case ReadWrite:
            flags |= O_RDWR | O_CREAT;
            break;
        default:
            return false;
    }
    const std::string name = to_utf8(expand_path(path));
    // Without waiting: a FIFO put where a file should be would block the open until someone
    // writes to it.
    do {
        m_handle = ::open(name.c_str(), flags | O_NONBLOCK, 0644);
    } while (m_handle < 0 && errno == EINTR);
    if (m_handle < 0) return false;
    struct stat info {};
    // A folder opens for reading on Linux but is no file to the program, and neither is a FIFO,
    // a socket or a device.
    if (::fstat(m_handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        close();
        return false;
    }
    ::fcntl(m_handle, F_SETFL, ::fcntl(m_handle, F_GETFL) & ~O_NONBLOCK);
    (void)::posix_fadvise(m_handle, 0, 0, POSIX_FADV_RANDOM);
    if (mode == Append && ::lseek(m_handle, 0, SEEK_END) < 0) {
        close();
        return false;
    }
    return true;
}

int64_t File::size() const {
    struct stat info {};
    if (m_handle < 0 || ::fstat(m_handle, &info) != 0) return -1;
    return info.st_size;
}

bool File::seek(int64_t position) {
    return m_handle >= 0 && position >= 0 && ::lseek(m_handle, position, SEEK_SET) >= 0;
}

int64_t File::tell() const { return m_handle < 0 ? -1 : ::lseek(m_handle, 0, SEEK_CUR); }

int64_t File::skip(int64_t delta) {
    const int64_t before = tell();
    if (before < 0) return 0;
    // A move before the start stops at the start, as the platform's relative seek would fail there.
    const int64_t target = before + delta < 0 ? 0 : before + delta;
    const off_t after = ::lseek(m_handle, target, SEEK_SET);
    return after < 0 ? 0 : after - before;
}

size_t File::read(void* data, size_t bytes) {
    if (m_handle < 0) return 0;
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::read(m_handle, static_cast<char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

size_t File::write(const void* data, size_t bytes) {
    if (m_handle < 0) return 0;
    size_t done = 0;
    while (done < bytes) {
        const ssize_t n = ::write(m_handle, static_cast<const char*>(data) + done, bytes - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

namespace {
int real_sync(int descriptor, bool is_folder) { return is_folder ? ::fsync(descriptor) : ::fdatasync(descriptor); }
std::atomic<SyncFunction> g_sync{&real_sync};
}  // namespace

void set_sync_function(SyncFunction function) { g_sync.store(function ? function : &real_sync); }

bool File::flush() { return m_handle >= 0 && g_sync.load()(m_handle, false) == 0; }

bool sync_folder(std::u16string_view path) {
    const std::string folder = to_utf8(expand_path(path));
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) return false;
    const bool ok = g_sync.load()(descriptor, true) == 0;
    ::close(descriptor);
    return ok;
}

bool File::truncate(int64_t position) { return seek(position) && ::ftruncate(m_handle, position) == 0; }

std::FILE* open_data_file(std::u16string_view path) {
    const std::string name = to_utf8(expand_path(path));
    int handle;
    do {
        handle = ::open(name.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (handle < 0 && errno == EINTR);
    if (handle < 0) return nullptr;
    struct stat info {};
    if (::fstat(handle, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(handle);
        errno = EINVAL;
        return nullptr;
    }
    ::fcntl(handle, F_SETFL, ::fcntl(handle, F_GETFL) & ~O_NONBLOCK);
    std::FILE* file = ::fdopen(handle, "rb");
    if (!file) ::close(handle);
    return file;
}

bool File::try_lock() { return m_handle >= 0 && ::flock(m_handle, LOCK_EX | LOCK_NB) == 0; }

bool File::make_private() { return m_handle >= 0 && ::fchmod(m_handle, 0600) == 0; }

void File::close() {
    if (m_handle >= 0) ::close(m_handle);
    m_handle = -1;
}

}  // namespace os
