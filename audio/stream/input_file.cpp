#include "audio/stream/input_file.h"

#include <cerrno>

InputFile::~InputFile() { close(); }

bool InputFile::open(const std::u16string& path) {
    close();
    errno = 0;
    if (!m_file.open(path, os::File::Read)) {
        m_last_error = errno != 0 ? errno : ENOENT;
        return false;
    }
    m_size = m_file.size();
    if (m_size < 0) {
        m_last_error = errno;
        close();
        return false;
    }
    m_position = 0;
    return true;
}

void InputFile::close() {
    m_file.close();
    m_position = 0;
    m_size = 0;
}

std::size_t InputFile::read(void* buffer, std::size_t n) {
    if (!m_file.is_open()) return 0;
    errno = 0;
    const std::size_t done = m_file.read(buffer, n);
    if (done < n && errno != 0) m_last_error = errno;
    m_position += static_cast<std::int64_t>(done);
    return done;
}

bool InputFile::seek(std::int64_t position) {
    if (!m_file.is_open() || position < 0 || !m_file.seek(position)) {
        m_last_error = EINVAL;
        return false;
    }
    m_position = position;
    return true;
}
