#include "audio/wav/wav_reader_coded.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// No pull reads more than this many blocks, whatever the request.
constexpr std::int64_t max_blocks_per_pull = 1024;

}  // namespace

WavReaderCoded::WavReaderCoded(const std::u16string& path, WavCodec codec) {
    m_header_read = m_file.open(path) && m_header.read_header(m_file.os_file(), codec);
    m_file.sync();
}

void WavReaderCoded::accept(int channels, int block_align, int samples_per_block) {
    if (m_header.sample_rate == 0 || m_header.sample_rate > 1'000'000 || block_align <= 0 || samples_per_block <= 0) {
        return;
    }
    m_format = AudioFormat{channels, 16, static_cast<std::int32_t>(m_header.sample_rate)};
    m_block_align = block_align;
    m_samples_per_block = samples_per_block;
    // Sizes pointing past the end of the file are cut to the whole blocks the file holds.
    const std::int64_t available = std::max<std::int64_t>(0, m_file.size() - m_header.data_start);
    m_blocks = std::min<std::int64_t>(m_header.data_size, available) / block_align;
    m_valid = true;
}

AudioBlock WavReaderCoded::get_data(int requested_frames) {
    std::lock_guard guard(m_lock);
    if (!m_valid || requested_frames <= 0) return AudioBlock();
    const std::int64_t wanted_blocks = std::min<std::int64_t>(m_blocks - m_next_block, max_blocks_per_pull);
    const std::int64_t frames_possible = m_pending.frames() + wanted_blocks * m_samples_per_block;
    const int frames = static_cast<int>(std::min<std::int64_t>(requested_frames, frames_possible));
    if (frames <= 0) return AudioBlock();
    if (m_pending.frames() >= frames) {
        AudioBlock out = m_pending.sub_block(0, static_cast<std::size_t>(frames) * m_format.block_align());
        m_pending = m_pending.sub_block(out.length(), m_pending.length());
        return out;
    }

    // Read the blocks that complete the request in one go and decode them behind the held frames.
    const int needed = frames - m_pending.frames();
    const std::int64_t blocks = (needed + m_samples_per_block - 1) / m_samples_per_block;
    m_coded.resize(static_cast<std::size_t>(blocks * m_block_align));
    if (!m_file.seek(m_header.data_start + m_next_block * m_block_align) ||
        m_file.read(m_coded.data(), m_coded.size()) != m_coded.size()) {
        m_valid = false;
        return AudioBlock();
    }
    const std::size_t frame_bytes = static_cast<std::size_t>(m_format.block_align());
    AudioBlock decoded(m_pending.length() + static_cast<std::size_t>(blocks * m_samples_per_block) * frame_bytes,
                       m_format);
    if (!m_pending.is_empty()) std::memcpy(decoded.data(), m_pending.data(), m_pending.length());
    auto* pcm = reinterpret_cast<std::int16_t*>(decoded.data() + m_pending.length());
    for (std::int64_t i = 0; i < blocks; ++i) {
        std::int16_t* out = pcm + i * m_samples_per_block * m_format.channels;
        // A damaged block plays as silence rather than ending the playback.
        if (!decode(&m_coded[static_cast<std::size_t>(i * m_block_align)], out)) {
            std::fill_n(out, m_samples_per_block * m_format.channels, 0);
        }
    }
    m_next_block += blocks;
    AudioBlock out = decoded.sub_block(0, static_cast<std::size_t>(frames) * frame_bytes);
    m_pending = decoded.sub_block(out.length(), decoded.length());
    return out;
}

bool WavReaderCoded::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_valid;
}

bool WavReaderCoded::is_at_end() const {
    std::lock_guard guard(m_lock);
    return m_next_block >= m_blocks && m_pending.is_empty();
}

int WavReaderCoded::bit_rate() const {
    if (m_samples_per_block <= 0) return 0;
    return static_cast<int>(std::int64_t(m_block_align) * m_format.rate * 8 / m_samples_per_block);
}

std::int64_t WavReaderCoded::position() const {
    std::lock_guard guard(m_lock);
    if (m_samples_per_block <= 0) return 0;
    // The block that holds the next frame to be handed out.
    const std::int64_t held_blocks = (m_pending.frames() + m_samples_per_block - 1) / m_samples_per_block;
    return (m_next_block - held_blocks) * m_block_align;
}

bool WavReaderCoded::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_valid) return false;
    m_next_block = std::clamp<std::int64_t>(position / m_block_align, 0, m_blocks);
    m_pending = AudioBlock();
    restart();
    return true;
}

std::int64_t WavReaderCoded::position_of_time(double seconds) const {
    if (m_samples_per_block <= 0 || seconds <= 0) return 0;
    const auto block = static_cast<std::int64_t>(seconds * m_format.rate / m_samples_per_block);
    return block * m_block_align;
}

double WavReaderCoded::time_of_position(std::int64_t position) const {
    if (m_block_align <= 0 || m_format.rate <= 0) return 0.0;
    return static_cast<double>(position) / m_block_align * m_samples_per_block / m_format.rate;
}

std::int64_t WavReaderCoded::samples_of_position(std::int64_t position) const {
    if (m_block_align <= 0) return 0;
    return position / m_block_align * m_samples_per_block;
}
