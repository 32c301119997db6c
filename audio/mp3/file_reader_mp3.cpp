#include "audio/mp3/file_reader_mp3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/mp3/id3_reader.h"
#include "os/log.h"

FileReaderMP3::FileReaderMP3(const std::u16string& path) {
    if (!m_file.open(path)) return;
    if (m_file.size() == 0) {
        // An empty file is a valid stream with nothing in it.
        m_valid = true;
        m_at_end = true;
        return;
    }
    m_valid = true;
    // A well-formed ID3v2 tag is stepped over whole, so pictures inside it cannot pass for frames.
    Id3v2Tag tag = read_id3v2(m_file);
    seek_locked(tag.present && tag.size < m_file.size() ? tag.size : 0);
    if (!find_frame(nullptr, true, m_first) && tag.present) {
        seek_locked(0);
        find_frame(nullptr, true, m_first);
    }
    if (m_at_end || !m_valid) {
        m_valid = false;
        return;
    }
    m_first_frame_offset = position_locked();
    sample_bit_rate();
    seek_locked(m_first_frame_offset);
    m_in_sync = true;
}

void FileReaderMP3::read_more(int needed) {
    const int unread = m_fill - m_index;
    if (unread >= needed || m_bytes_read >= m_file.size()) return;
    std::memmove(m_buffer.data(), m_buffer.data() + m_index, static_cast<std::size_t>(unread));
    m_index = 0;
    m_fill = unread;
    const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(m_file.size() - m_bytes_read, buffer_bytes - unread));
    m_file.seek(m_bytes_read);
    const std::size_t got = m_file.read(m_buffer.data() + m_fill, wanted);
    m_fill += static_cast<int>(got);
    m_bytes_read += static_cast<std::int64_t>(got);
    if (got < wanted && m_valid) {
        os::log() << u"FileReaderMP3::read_more error=" << m_file.last_error() << u"\n";
        m_valid = false;
    }
}

bool FileReaderMP3::find_frame(const Mp3FrameHeader* reference, bool confirm, Mp3FrameHeader& found,
                               std::int64_t stop_at) {
    for (;;) {
        if (position_locked() > stop_at) return false;
        read_more();
        if (!m_valid) return false;
        const bool file_done = m_bytes_read >= m_file.size();
        if (m_fill - m_index < 4) {
            if (file_done) {
                m_at_end = true;
                return false;
            }
            continue;
        }
        Mp3FrameHeader header;
        if (!header.parse(&m_buffer[m_index]) || (reference != nullptr && !header.matches(*reference))) {
            ++m_index;
            confirm = true;  // bytes were skipped: we are out of step with the stream
            continue;
        }
        // The whole frame and the header after it must be buffered to judge the candidate.
        const int needed = header.frame_bytes + 4;
        if (m_fill - m_index < needed && !file_done) {
            read_more(needed);
            if (!m_valid) return false;
        }
        const int after = m_index + header.frame_bytes;
        if (after > m_fill) {
            // A frame cut off by the end of the file is not played.
            if (m_bytes_read >= m_file.size()) {
                if (!confirm) {
                    m_at_end = true;
                    return false;
                }
                ++m_index;
                continue;
            }
            continue;
        }
        if (confirm) {
            const bool ends_file = after == m_fill && m_bytes_read >= m_file.size();
            Mp3FrameHeader next;
            const bool next_ok = after + 4 <= m_fill && next.parse(&m_buffer[after]) && next.matches(header);
            if (!next_ok && !ends_file) {
                ++m_index;
                continue;
            }
        }
        found = header;
        return true;
    }
}

void FileReaderMP3::seek_locked(std::int64_t position) {
    position = std::clamp<std::int64_t>(position, 0, m_file.size());
    m_bytes_read = position;
    m_fill = 0;
    m_index = 0;
    m_at_end = position >= m_file.size();
    m_in_sync = false;
}

void FileReaderMP3::sample_bit_rate() {
    const std::int64_t size = m_file.size();
    const int points = static_cast<int>(std::min<std::int64_t>(size / bit_rate_spacing, max_bit_rate_points));
    std::int64_t sum = m_first.bit_rate;
    int count = 1;
    m_bit_rate_points = 0;
    for (int i = 1; i < points; ++i) {
        seek_locked(size * i / points);
        ++m_bit_rate_points;
        Mp3FrameHeader header;
        // Each point searches only up to the next one, so a file of junk costs one pass, not twenty.
        if (find_frame(&m_first, true, header, size * (i + 1) / points)) {
            sum += header.bit_rate;
            ++count;
        }
        if (!m_valid) return;
    }
    m_average_kbps = static_cast<int>((sum + count / 2) / count);
}

AudioBlock FileReaderMP3::get_data(int /*requested_frames*/) {
    std::lock_guard guard(m_lock);
    if (!m_valid || m_at_end) return AudioBlock();
    Mp3FrameHeader header;
    if (!find_frame(&m_first, !m_in_sync, header)) return AudioBlock();
    // The decoder peeks at the start of the next frame to learn how much of this one the next
    // borrows, so a little of what follows travels with the frame.
    const int bytes = std::min(m_fill - m_index, header.frame_bytes + lookahead_bytes);
    AudioBlock block(&m_buffer[m_index], static_cast<std::size_t>(bytes), AudioFormat{header.channels, 0, header.rate});
    m_index += header.frame_bytes;
    m_in_sync = true;
    if (position_locked() >= m_file.size()) m_at_end = true;
    return block;
}

bool FileReaderMP3::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_valid;
}

bool FileReaderMP3::is_at_end() const {
    std::lock_guard guard(m_lock);
    return m_at_end || position_locked() >= m_file.size();
}

int FileReaderMP3::channels() const { return m_first.channels; }
int FileReaderMP3::rate() const { return m_first.rate; }
int FileReaderMP3::bit_rate() const { return m_average_kbps * 1000; }

Mp3FrameHeader FileReaderMP3::first_header() const { return m_first; }

std::int64_t FileReaderMP3::position() const {
    std::lock_guard guard(m_lock);
    return position_locked();
}

bool FileReaderMP3::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_valid) return false;
    // Anything before the first frame is tag or junk: start at the first frame instead.
    seek_locked(std::max(position, m_first_frame_offset));
    return true;
}

std::int64_t FileReaderMP3::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(m_average_kbps * seconds * 125.0);
}

double FileReaderMP3::time_of_position(std::int64_t position) const {
    if (m_average_kbps <= 0) return 0.0;
    return static_cast<double>(position) * 8 / m_average_kbps * 0.001;
}

std::int64_t FileReaderMP3::samples_of_position(std::int64_t position) const {
    return static_cast<std::int64_t>(std::floor(time_of_position(position) * m_first.rate));
}
