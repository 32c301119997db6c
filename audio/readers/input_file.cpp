#include "audio/readers/input_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "os/text.h"

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::u16string& path) {
    close();
    m_descriptor = ::open(os::to_utf8(path).c_str(), O_RDONLY | O_CLOEXEC);
    if (m_descriptor < 0) {
        m_last_error = errno;
        return false;
    }
    struct stat status {};
    if (::fstat(m_descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        m_last_error = errno != 0 ? errno : EISDIR;
        close();
        return false;
    }
    m_size = status.st_size;
    m_position = 0;
    return true;
}

void InputFile::close() {
    if (m_descriptor >= 0) ::close(m_descriptor);
    m_descriptor = -1;
    m_position = 0;
    m_size = 0;
}

std::size_t InputFile::read(void* buffer, std::size_t n) {
    if (m_descriptor < 0) return 0;
    auto* bytes = static_cast<unsigned char*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t got = ::pread(m_descriptor, bytes + done, n - done, m_position);
        if (got < 0) {
            if (errno == EINTR) continue;
            m_last_error = errno;
            break;
        }
        if (got == 0) break;
        done += static_cast<std::size_t>(got);
        m_position += got;
    }
    return done;
}

bool InputFile::seek(std::int64_t position) {
    if (m_descriptor < 0 || position < 0) {
        m_last_error = EINVAL;
        return false;
    }
    m_position = position;
    return true;
}
