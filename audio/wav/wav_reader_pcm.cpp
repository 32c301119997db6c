#include "audio/wav/wav_reader_pcm.h"

#include <algorithm>
#include <cmath>

namespace {

// A pull never asks for more than this many bytes, whatever the request.
constexpr std::int64_t max_pull_bytes = 1 << 20;

}  // namespace

WavReaderPCM::WavReaderPCM(const std::u16string& path) {
    if (!m_file.open(path) || !m_header.read_header(m_file.os_file(), WavCodec::Pcm)) return;
    m_file.sync();
    m_format = AudioFormat{m_header.channels, m_header.bits_per_sample, static_cast<std::int32_t>(m_header.sample_rate)};
    // Frames that do not match the stated sample size or a rate of 0 could only play as noise.
    if (m_format.rate <= 0 || m_header.block_align != m_format.block_align()) return;
    // Sizes pointing past the end of the file are cut to what the file holds, in whole frames.
    const std::int64_t available = std::max<std::int64_t>(0, m_file.size() - m_header.data_start);
    m_data_size = std::min<std::int64_t>(m_header.data_size, available);
    m_data_size -= m_data_size % m_format.block_align();
    m_valid = true;
}

AudioBlock WavReaderPCM::get_data(int requested_frames) {
    std::lock_guard guard(m_lock);
    if (!m_valid || requested_frames <= 0) return AudioBlock();
    const std::int64_t align = m_format.block_align();
    std::int64_t bytes = std::min<std::int64_t>(std::int64_t(requested_frames) * align, m_data_size - m_position);
    bytes = std::min(bytes, max_pull_bytes - max_pull_bytes % align);
    if (bytes <= 0) return AudioBlock();
    AudioBlock block(static_cast<std::size_t>(bytes), m_format);
    if (!m_file.seek(m_header.data_start + m_position) ||
        m_file.read(block.data(), block.length()) != block.length()) {
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
    m_position = position - position % m_format.block_align();
    return true;
}

std::int64_t WavReaderPCM::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * m_format.rate)) * m_format.block_align();
}

double WavReaderPCM::time_of_position(std::int64_t position) const {
    const int byte_rate = m_format.byte_rate();
    return byte_rate > 0 ? static_cast<double>(position) / byte_rate : 0.0;
}

std::int64_t WavReaderPCM::samples_of_position(std::int64_t position) const {
    const int align = m_format.block_align();
    return align > 0 ? position / align : 0;
}
