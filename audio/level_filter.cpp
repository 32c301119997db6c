#include "audio/level_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

void LevelFilter::set_vas_level(double level) {
    std::lock_guard guard(lock());
    m_vas_level = std::clamp(level, 0.0, 1.0);
}

double LevelFilter::vas_level() {
    std::lock_guard guard(lock());
    return m_vas_level;
}

double LevelFilter::current_level() {
    std::lock_guard guard(lock());
    return m_current_level;
}

double LevelFilter::silence_time() {
    std::lock_guard guard(lock());
    return m_silence_time;
}

bool LevelFilter::is_silent() {
    std::lock_guard guard(lock());
    return m_vas_level != 0.0 && m_silence_time >= silence_limit;
}

AudioBlock LevelFilter::transform(const AudioBlock& block) {
    const int frames = block.frames();
    if (frames == 0) return block;
    const int stride = block.format().block_align();
    const uint8_t* bytes = block.data();
    int threshold = 0;
    int peak = 0;
    int last_loud = -1;
    if (block.bits() == 16) {
        threshold = static_cast<int>(m_vas_level * 32768.0);
        for (int f = 0; f < frames; ++f) {
            int16_t sample;
            std::memcpy(&sample, bytes + static_cast<std::size_t>(f) * stride, 2);
            const int magnitude = std::abs(static_cast<int>(sample));
            peak = std::max(peak, magnitude);
            if (magnitude >= threshold) last_loud = f;
        }
        m_current_level = peak / 32768.0;
    } else if (block.bits() == 8) {
        threshold = static_cast<int>(m_vas_level * 128.0);
        for (int f = 0; f < frames; ++f) {
            const int magnitude = std::abs(static_cast<int>(bytes[static_cast<std::size_t>(f) * stride]) - 128);
            peak = std::max(peak, magnitude);
            if (magnitude >= threshold) last_loud = f;
        }
        m_current_level = peak / 128.0;
    } else {
        return block;  // no sample width to measure
    }
    m_made.clear();
    m_peaks.add(block, m_made);
    for (const PeakPair& pair : m_made) m_live.push(pair);
    if (block.rate() != 0) {
        const double rate = block.rate();
        if (m_vas_level == 0.0) {
            m_silence_time = 0.0;
        } else if (last_loud == -1) {
            m_silence_time += frames / rate;
        } else {
            m_silence_time = (frames - last_loud - 1) / rate;
        }
    }
    return block;
}
