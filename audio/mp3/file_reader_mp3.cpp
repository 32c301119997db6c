#include "audio/mp3/file_reader_mp3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/mp3/id3_reader.h"
#include "os/log.h"

namespace {

constexpr std::int64_t id3v1_bytes = 128;
constexpr std::int64_t ape_footer_bytes = 32;
constexpr std::uint32_t ape_has_header = 0x80000000u;

std::uint32_t little_endian32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

}  // namespace

FileReaderMP3::FileReaderMP3(const std::u16string& path) {
    if (!m_file.open(path)) return;
    m_audio_end = m_file.size();
    if (m_file.size() == 0) {
        // An empty file is a valid stream with nothing in it.
        m_valid = true;
        m_at_end = true;
        return;
    }
    m_valid = true;
    m_audio_end = find_audio_end();
    // A well-formed ID3v2 tag is stepped over whole, so pictures inside it cannot pass for frames.
    Id3v2Tag tag = read_id3v2(m_file);
    seek_locked(tag.present && tag.size < m_audio_end ? tag.size : 0);
    if (!find_frame(nullptr, true, m_first) && tag.present) {
        seek_locked(0);
        find_frame(nullptr, true, m_first);
    }
    if (m_at_end || !m_valid) {
        m_valid = false;
        return;
    }
    m_first_frame_offset = position_locked();
    m_audio_start = m_first_frame_offset;
    read_stream_header();
    seek_locked(m_audio_start);
    m_in_sync = true;
    m_next_frame = 0;
}

std::int64_t FileReaderMP3::find_audio_end() {
    std::int64_t end = m_file.size();
    std::uint8_t bytes[ape_footer_bytes] = {};
    if (end >= id3v1_bytes && m_file.seek(end - id3v1_bytes) && m_file.read(bytes, 3) == 3 &&
        std::memcmp(bytes, "TAG", 3) == 0) {
        end -= id3v1_bytes;
    }
    // An APE tag sits before the ID3v1 tag; its footer gives the size of its items and footer.
    if (end >= ape_footer_bytes && m_file.seek(end - ape_footer_bytes) &&
        m_file.read(bytes, ape_footer_bytes) == ape_footer_bytes && std::memcmp(bytes, "APETAGEX", 8) == 0) {
        const std::int64_t size =
            std::int64_t(little_endian32(bytes + 12)) + ((little_endian32(bytes + 20) & ape_has_header) ? 32 : 0);
        if (size >= ape_footer_bytes && size <= end) end -= size;
    }
    return end;
}

void FileReaderMP3::read_stream_header() {
    // find_frame left the whole first frame in the buffer.
    const int spf = m_first.samples;
    if (m_fill - m_index >= m_first.frame_bytes) {
        m_stream_header =
            parse_stream_header(&m_buffer[m_index], static_cast<std::size_t>(m_first.frame_bytes), m_first);
    }
    const Mp3StreamHeader& header = m_stream_header;
    if (header.present) m_audio_start = m_first_frame_offset + m_first.frame_bytes;
    const std::int64_t audio_bytes = std::max<std::int64_t>(0, m_audio_end - m_audio_start);

    bool counted = header.present && header.frames > 0;
    if (counted && header.bytes > 0) {
        // A file cut short, or grown by a writer that left the count alone, is no longer what the
        // count describes: its own bytes are the better guide then.
        const std::int64_t stream_bytes = m_audio_end - m_first_frame_offset;
        if (stream_bytes * 50 < header.bytes * 49 || stream_bytes * 50 > header.bytes * 51) counted = false;
    }
    if (counted) {
        m_total_frames = header.frames;
        const std::int64_t stream_samples = m_total_frames * spf;
        m_counted_end_sample = stream_samples;
        m_total_samples = stream_samples;
        if (header.has_gapless && header.delay + header.padding < stream_samples) {
            m_skip_samples = header.delay + decoder_delay;
            m_end_sample = stream_samples - header.padding + decoder_delay;
            m_total_samples = stream_samples - header.delay - header.padding;
        }
        const double seconds = static_cast<double>(stream_samples) / m_first.rate;
        m_average_kbps = static_cast<int>(std::lround(static_cast<double>(audio_bytes) * 8 / seconds / 1000));
    } else {
        sample_bit_rate();
        // Only a constant bit rate turns bytes into time; when it varies (or too few points were
        // sampled to tell) every frame is counted, once.
        if ((m_bit_rate_varies || m_bit_rate_points == 0) && m_valid && scan_frames()) {
            m_total_frames = static_cast<std::int64_t>(m_frame_index.size());
            m_total_samples = m_total_frames * spf;
            const double seconds = static_cast<double>(m_total_samples) / m_first.rate;
            if (seconds > 0) {
                m_average_kbps = static_cast<int>(std::lround(static_cast<double>(audio_bytes) * 8 / seconds / 1000));
            }
            return;
        }
        if (m_average_kbps > 0) {
            m_total_samples = audio_bytes * 8 * m_first.rate / (std::int64_t(m_average_kbps) * 1000);
        }
        m_total_frames = (m_total_samples + spf - 1) / spf;
    }
}

bool FileReaderMP3::scan_frames() {
    m_frame_index.clear();
    // Offsets are kept in 32 bits: a stream of 4 GB is left to the sampled bit rate.
    if (m_audio_end - m_audio_start > std::int64_t(UINT32_MAX)) return false;
    seek_locked(m_audio_start);
    Mp3FrameHeader header;
    bool confirm = false;
    while (find_frame(&m_first, confirm, header)) {
        m_frame_index.push_back(static_cast<std::uint32_t>(position_locked() - m_audio_start));
        m_index += header.frame_bytes;
        confirm = false;
    }
    m_at_end = false;
    if (!m_valid || m_frame_index.empty()) {
        m_frame_index.clear();
        return false;
    }
    return true;
}

void FileReaderMP3::read_more(int needed) {
    const int unread = m_fill - m_index;
    if (unread >= needed || m_bytes_read >= m_audio_end) return;
    std::memmove(m_buffer.data(), m_buffer.data() + m_index, static_cast<std::size_t>(unread));
    m_index = 0;
    m_fill = unread;
    const auto wanted =
        static_cast<std::size_t>(std::min<std::int64_t>(m_audio_end - m_bytes_read, buffer_bytes - unread));
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
        const bool file_done = m_bytes_read >= m_audio_end;
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
            // A frame cut off by the end of the audio is not played.
            if (m_bytes_read >= m_audio_end) {
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
            const bool ends_file = after == m_fill && m_bytes_read >= m_audio_end;
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
    position = std::clamp<std::int64_t>(position, 0, m_audio_end);
    m_bytes_read = position;
    m_fill = 0;
    m_index = 0;
    m_at_end = position >= m_audio_end;
    m_in_sync = false;
}

void FileReaderMP3::sample_bit_rate() {
    const std::int64_t start = m_audio_start;
    const std::int64_t size = m_audio_end - m_audio_start;
    const int points = static_cast<int>(std::min<std::int64_t>(size / bit_rate_spacing, max_bit_rate_points));
    std::int64_t sum = m_first.bit_rate;
    int count = 1;
    m_bit_rate_points = 0;
    m_bit_rate_varies = false;
    for (int i = 1; i < points; ++i) {
        seek_locked(start + size * i / points);
        ++m_bit_rate_points;
        Mp3FrameHeader header;
        // Each point searches only up to the next one, so a file of junk costs one pass, not twenty.
        if (find_frame(&m_first, true, header, start + size * (i + 1) / points)) {
            sum += header.bit_rate;
            ++count;
            if (header.bit_rate != m_first.bit_rate) m_bit_rate_varies = true;
        }
        if (!m_valid) return;
    }
    m_average_kbps = static_cast<int>((sum + count / 2) / count);
}

std::int64_t FileReaderMP3::byte_of_frame(std::int64_t frame) const {
    if (!m_frame_index.empty()) {
        if (frame >= static_cast<std::int64_t>(m_frame_index.size())) return m_audio_end;
        return m_audio_start + m_frame_index[static_cast<std::size_t>(std::max<std::int64_t>(0, frame))];
    }
    const auto& table = m_stream_header.seek_table;
    if (table.size() >= 2) {
        auto next = std::upper_bound(table.begin(), table.end(), frame,
                                     [](std::int64_t f, const Mp3StreamHeader::SeekPoint& p) { return f < p.frame; });
        if (next == table.begin()) next = table.begin() + 1;
        if (next == table.end()) next = table.end() - 1;
        const auto& a = *(next - 1);
        const auto& b = *next;
        const std::int64_t span = std::max<std::int64_t>(1, b.frame - a.frame);
        return m_first_frame_offset + a.byte + (frame - a.frame) * (b.byte - a.byte) / span;
    }
    if (m_total_frames <= 0) return m_audio_start;
    return m_audio_start + frame * (m_audio_end - m_audio_start) / m_total_frames;
}

std::int64_t FileReaderMP3::frame_of_byte(std::int64_t byte) const {
    if (!m_frame_index.empty()) {
        const std::int64_t offset = byte - m_audio_start;
        if (offset < 0) return 0;
        // The frame that starts at or last before the byte.
        const auto after =
            std::upper_bound(m_frame_index.begin(), m_frame_index.end(), static_cast<std::uint64_t>(offset),
                             [](std::uint64_t o, std::uint32_t start) { return o < start; });
        return std::max<std::int64_t>(0, (after - m_frame_index.begin()) - 1);
    }
    const auto& table = m_stream_header.seek_table;
    if (table.size() >= 2) {
        const std::int64_t offset = byte - m_first_frame_offset;
        auto next = std::upper_bound(table.begin(), table.end(), offset,
                                     [](std::int64_t o, const Mp3StreamHeader::SeekPoint& p) { return o < p.byte; });
        if (next == table.begin()) next = table.begin() + 1;
        if (next == table.end()) next = table.end() - 1;
        const auto& a = *(next - 1);
        const auto& b = *next;
        const std::int64_t span = std::max<std::int64_t>(1, b.byte - a.byte);
        return std::max<std::int64_t>(0, a.frame + ((offset - a.byte) * (b.frame - a.frame) + span / 2) / span);
    }
    const std::int64_t audio_bytes = m_audio_end - m_audio_start;
    if (audio_bytes <= 0) return 0;
    return ((byte - m_audio_start) * m_total_frames + audio_bytes / 2) / audio_bytes;
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

    // Only the samples between the encoder's delay and its end padding are the recording; frames
    // beyond those the header counted (a file grown since) play whole.
    const std::int64_t first = m_next_frame * header.samples;
    const std::int64_t last = first + header.samples;
    if (first >= m_counted_end_sample) {
        m_last_span = FrameSpan{0, header.samples};
    } else {
        const std::int64_t from = std::max(first, m_skip_samples);
        const std::int64_t to = std::min(last, m_end_sample);
        m_last_span = FrameSpan{static_cast<int>(std::clamp<std::int64_t>(from - first, 0, header.samples)),
                                static_cast<int>(std::max<std::int64_t>(0, to - from))};
    }
    ++m_next_frame;
    m_index += header.frame_bytes;
    m_in_sync = true;
    if (position_locked() >= m_audio_end) m_at_end = true;
    return block;
}

FileReaderMP3::FrameSpan FileReaderMP3::last_frame_span() const {
    std::lock_guard guard(m_lock);
    return m_last_span;
}

bool FileReaderMP3::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_valid;
}

bool FileReaderMP3::is_at_end() const {
    std::lock_guard guard(m_lock);
    return m_at_end || position_locked() >= m_audio_end;
}

int FileReaderMP3::channels() const { return m_first.channels; }
int FileReaderMP3::rate() const { return m_first.rate; }
int FileReaderMP3::bit_rate() const { return m_average_kbps * 1000; }

Mp3FrameHeader FileReaderMP3::first_header() const { return m_first; }

std::int64_t FileReaderMP3::position() const {
    std::lock_guard guard(m_lock);
    if (m_first.samples == 0) return 0;
    return std::clamp<std::int64_t>(m_next_frame * m_first.samples - m_skip_samples, 0, m_total_samples);
}

bool FileReaderMP3::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_valid) return false;
    if (m_first.samples == 0) return true;
    const std::int64_t sample = std::clamp<std::int64_t>(position, 0, m_total_samples) + m_skip_samples;
    std::int64_t frame = sample / m_first.samples;
    if (m_total_frames > 0) frame = std::min(frame, m_total_frames);
    // The estimate may overshoot the frame's start by a byte of padding: start just before it,
    // where no other frame can begin, so the search lands on this frame and not the next. The
    // frame index knows the start exactly.
    seek_locked(m_frame_index.empty() ? std::max(m_audio_start, byte_of_frame(frame) - 2) : byte_of_frame(frame));
    Mp3FrameHeader header;
    if (find_frame(&m_first, true, header)) {
        // Found and confirmed: the reader stays on it, and knows which frame it is as closely as
        // the table (or the constant bit rate) tells.
        const std::int64_t at = position_locked();
        m_next_frame = at <= m_audio_start ? 0 : frame_of_byte(at);
        m_in_sync = true;
    } else {
        m_next_frame = m_total_frames;
    }
    return true;
}

std::int64_t FileReaderMP3::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(seconds * m_first.rate);
}

double FileReaderMP3::time_of_position(std::int64_t position) const {
    if (m_first.rate <= 0) return 0.0;
    return static_cast<double>(position) / m_first.rate;
}
