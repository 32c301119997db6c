#include "audio/wav/wav_reader_pcm.h"

#include <algorithm>
#include <cmath>

#include "audio/wav/wav_sample_conversion.h"

namespace {

// A pull never asks for more than this many bytes, whatever the request.
constexpr std::int64_t max_pull_bytes = 1 << 20;

}  // namespace

WavReaderPCM::WavReaderPCM(const std::u16string& path) {
    if (!m_file.open(path) || !read_wav_stream_format(m_file.os_file(), m_stored)) return;
    m_file.sync();
    m_header.format_tag = m_stored.format_tag;
    m_header.channels = static_cast<std::uint16_t>(m_stored.channels);
    m_header.sample_rate = static_cast<std::uint32_t>(m_stored.rate);
    m_header.average_bytes_per_second = static_cast<std::uint32_t>(m_stored.rate * m_stored.block_align);
    m_header.block_align = static_cast<std::uint16_t>(m_stored.block_align);
    m_header.bits_per_sample = static_cast<std::uint16_t>(m_stored.bits);
    m_header.data_start = static_cast<std::uint32_t>(std::min<std::int64_t>(m_stored.data_start, UINT32_MAX));
    m_header.data_size = static_cast<std::uint32_t>(std::min<std::int64_t>(m_stored.data_size, UINT32_MAX));

    m_converting = !m_stored.is_playable_as_stored();
    m_format = m_converting ? AudioFormat{wav_samples::playback_channels(m_stored), 16, m_stored.rate}
                            : AudioFormat{m_stored.channels, m_stored.bits, m_stored.rate};
    // Sizes pointing past the end of the file are cut to what the file holds, in whole frames.
    const std::int64_t available = std::max<std::int64_t>(0, m_file.size() - m_stored.data_start);
    m_data_size = std::min<std::int64_t>(m_stored.data_size, available);
    m_data_size -= m_data_size % m_stored.block_align;
    m_valid = true;
}

AudioBlock WavReaderPCM::get_data(int requested_frames) {
    std::lock_guard guard(m_lock);
    if (!m_valid || requested_frames <= 0) return AudioBlock();
    const std::int64_t align = m_stored.block_align;
    std::int64_t bytes = std::min<std::int64_t>(std::int64_t(requested_frames) * align, m_data_size - m_position);
    bytes = std::min(bytes, max_pull_bytes - max_pull_bytes % align);
    if (bytes <= 0) return AudioBlock();
    if (!m_file.seek(m_stored.data_start + m_position)) {
        m_valid = false;
        return AudioBlock();
    }
    const std::int64_t frames = bytes / align;
    AudioBlock block(static_cast<std::size_t>(frames * m_format.block_align()), m_format);
    bool read = false;
    if (m_converting) {
        m_stored_bytes.resize(static_cast<std::size_t>(bytes));
        read = m_file.read(m_stored_bytes.data(), m_stored_bytes.size()) == m_stored_bytes.size();
        if (read) {
            wav_samples::convert(m_stored, m_stored_bytes.data(), static_cast<std::size_t>(frames),
                                 reinterpret_cast<std::int16_t*>(block.data()));
        }
    } else {
        read = m_file.read(block.data(), block.length()) == block.length();
    }
    if (!read) {
        m_valid = false;
        return AudioBlock();
    }
    m_position += bytes;
    return block;
}

bool WavReaderPCM::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_valid;
}

bool WavReaderPCM::is_at_end() const {
    std::lock_guard guard(m_lock);
    return m_position >= m_data_size;
}

std::int64_t WavReaderPCM::position() const {
    std::lock_guard guard(m_lock);
    return m_position;
}

bool WavReaderPCM::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_valid) return false;
    position = std::clamp<std::int64_t>(position, 0, m_data_size);
    m_position = position - position % m_stored.block_align;
    return true;
}

std::int64_t WavReaderPCM::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * m_stored.rate)) * m_stored.block_align;
}

double WavReaderPCM::time_of_position(std::int64_t position) const {
    const std::int64_t byte_rate = static_cast<std::int64_t>(m_stored.rate) * m_stored.block_align;
    return byte_rate > 0 ? static_cast<double>(position) / static_cast<double>(byte_rate) : 0.0;
}

std::int64_t WavReaderPCM::samples_of_position(std::int64_t position) const {
    const int align = m_stored.block_align;
    return align > 0 ? position / align : 0;
}
