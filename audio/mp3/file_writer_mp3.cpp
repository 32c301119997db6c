#include "audio/mp3/file_writer_mp3.h"

#include <cerrno>
#include <cstring>
#include <mutex>

#include "os/file_system.h"
#include "os/log.h"

FileWriterMP3::FileWriterMP3(std::u16string path, bool append)
    : m_path(std::move(path)), m_append(append), m_buffer(kBufferBytes) {
    if (append) {
        m_valid = m_file.open(m_path, os::File::ReadWrite) && m_file.seek(m_file.size());
    } else {
        m_valid = m_file.open(m_path, os::File::Write);
    }
    if (!m_valid) m_file.close();
    if (m_valid && append) take_trailing_tag();
    if (m_valid) m_initial_size = m_file.size();
}

void FileWriterMP3::take_trailing_tag() {
    constexpr size_t tag_bytes = 128;
    const int64_t size = m_file.size();
    if (size < static_cast<int64_t>(tag_bytes)) return;
    std::vector<uint8_t> tag(tag_bytes);
    if (!m_file.seek(size - static_cast<int64_t>(tag_bytes)) || m_file.read(tag.data(), tag_bytes) != tag_bytes ||
        tag[0] != 'T' || tag[1] != 'A' || tag[2] != 'G') {
        m_file.seek(size);
        return;
    }
    // The new frames go where the tag was; the tag follows them when the writer closes.
    if (!m_file.truncate(size - static_cast<int64_t>(tag_bytes))) {
        m_file.seek(size);
        return;
    }
    m_trailing_tag = std::move(tag);
}

bool FileWriterMP3::write_at(int64_t position, const uint8_t* bytes, size_t count) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!m_valid) return false;
    if (m_fill > 0 && !write_out(m_buffer.data(), m_fill)) {
        m_valid = false;
        return false;
    }
    m_fill = 0;
    const int64_t end = m_file.size();
    const bool ok = m_file.seek(position) && m_file.write(bytes, count) == count;
    m_file.seek(end);
    return ok;
}

size_t FileWriterMP3::read_at(int64_t position, uint8_t* bytes, size_t count) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!m_file.is_open() || !m_append) return 0;
    const int64_t end = m_file.tell();
    const size_t got = m_file.seek(position) ? m_file.read(bytes, count) : 0;
    m_file.seek(end);
    return got;
}

FileWriterMP3::~FileWriterMP3() {
    if (!m_file.is_open()) return;
    if (m_fill > 0 && m_valid) write_out(m_buffer.data(), m_fill);
    m_fill = 0;
    if (!m_trailing_tag.empty() && m_file.seek(m_file.size()))
        m_file.write(m_trailing_tag.data(), m_trailing_tag.size());
    const bool empty = m_file.size() == 0;
    m_file.close();
    if (!m_append && empty) os::delete_file(m_path);
}

bool FileWriterMP3::write_out(const uint8_t* bytes, size_t count) {
    const int64_t start = m_file.tell();
    errno = 0;
    if (m_file.write(bytes, count) == count) return true;
    m_last_error = errno;
    // Every write holds whole MP3 frames; cutting off the torn remains keeps the file decodable.
    m_file.truncate(start);
    return false;
}

void FileWriterMP3::flush() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!m_valid || m_fill == 0) return;
    if (!write_out(m_buffer.data(), m_fill)) {
        m_valid = false;
        os::log() << u"FileWriterMP3::flush error=" << m_last_error << u"\n";
    }
    m_fill = 0;
}

bool FileWriterMP3::sync() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    flush();
    return m_valid && m_file.flush();
}

void FileWriterMP3::on_data(const AudioBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (!m_valid) return;
    const size_t n = block.length();
    m_bytes_received += static_cast<int64_t>(n);
    if (m_fill + n > kBufferBytes) {
        if (!write_out(m_buffer.data(), m_fill)) {
            m_valid = false;
            os::log() << u"FileWriterMP3::on_data1 error=" << m_last_error << u"\n";
        }
        if (!m_valid) return;
        m_fill = 0;
    }
    if (n <= kBufferBytes) {
        std::memcpy(m_buffer.data() + m_fill, block.data(), n);
        m_fill += n;
    } else if (!write_out(block.data(), n)) {
        // Larger than the whole buffer: it goes straight to the file.
        m_valid = false;
        os::log() << u"FileWriterMP3::on_data2 error=" << m_last_error << u"\n";
    }
}
