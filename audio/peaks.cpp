#include "audio/peaks.h"

#include <algorithm>
#include <cstring>

int8_t peak_value(int32_t sample16) {
    const int32_t magnitude = std::min(std::abs(sample16), 32767);
    const int32_t scaled = (magnitude * 127 + 16383) / 32767;
    return static_cast<int8_t>(sample16 < 0 ? -scaled : scaled);
}

void PeakAccumulator::reset() {
    m_rate = 0;
    m_frames = 0;
    m_low = 0;
    m_high = 0;
}

void PeakAccumulator::flush(std::vector<PeakPair>& out) {
    if (m_frames > 0) out.push_back({peak_value(m_low), peak_value(m_high)});
    const int32_t rate = m_rate;
    reset();
    m_rate = rate;
}

void PeakAccumulator::add(const AudioBlock& block, std::vector<PeakPair>& out) {
    const int32_t frames = block.frames();
    if (frames <= 0 || block.rate() <= 0 || (block.bits() != 16 && block.bits() != 8)) return;
    if (block.rate() != m_rate) {
        flush(out);
        m_rate = block.rate();
    }
    const int32_t per_pair = std::max(1, m_rate / kPeaksPerSecond);
    const int32_t stride = block.format().block_align();
    const uint8_t* bytes = block.data();
    const bool wide = block.bits() == 16;
    for (int32_t f = 0; f < frames;) {
        // Runs up to the end of the pair being filled, so the inner loop has no branch but min/max.
        const int32_t run = std::min(frames - f, per_pair - m_frames);
        int32_t low = m_frames > 0 ? m_low : 32767;
        int32_t high = m_frames > 0 ? m_high : -32768;
        const uint8_t* p = bytes + static_cast<size_t>(f) * stride;
        if (wide && stride == 2) {
            // Mono, the usual case: the samples lie side by side and the loop vectorises.
            int16_t chunk[512];
            for (int32_t done = 0; done < run;) {
                const int32_t n = std::min<int32_t>(512, run - done);
                std::memcpy(chunk, p + static_cast<size_t>(done) * 2, static_cast<size_t>(n) * 2);
                int16_t chunk_low = 32767, chunk_high = -32768;
                for (int32_t i = 0; i < n; ++i) {
                    chunk_low = std::min(chunk_low, chunk[i]);
                    chunk_high = std::max(chunk_high, chunk[i]);
                }
                low = std::min<int32_t>(low, chunk_low);
                high = std::max<int32_t>(high, chunk_high);
                done += n;
            }
        } else if (wide) {
            for (int32_t i = 0; i < run; ++i, p += stride) {
                int16_t sample;
                std::memcpy(&sample, p, 2);
                low = std::min<int32_t>(low, sample);
                high = std::max<int32_t>(high, sample);
            }
        } else {
            for (int32_t i = 0; i < run; ++i, p += stride) {
                const int32_t sample = (static_cast<int32_t>(*p) - 128) * 256;
                low = std::min(low, sample);
                high = std::max(high, sample);
            }
        }
        m_low = low;
        m_high = high;
        m_frames += run;
        f += run;
        if (m_frames >= per_pair) {
            out.push_back({peak_value(m_low), peak_value(m_high)});
            m_frames = 0;
        }
    }
}

void PeakRing::push(PeakPair pair) {
    const uint64_t written = m_written.load(std::memory_order_relaxed);
    const auto word = static_cast<uint16_t>(static_cast<uint8_t>(pair.low) | static_cast<uint8_t>(pair.high) << 8);
    m_pairs[written % capacity].store(word, std::memory_order_relaxed);
    m_written.store(written + 1, std::memory_order_release);
}

size_t PeakRing::take(std::vector<PeakPair>& out) {
    const uint64_t written = m_written.load(std::memory_order_acquire);
    // The producer may have lapped the consumer: only the last `capacity` pairs are still there,
    // and of those the oldest may be overwritten while we copy, so one slot of margin is kept.
    if (written - m_read > capacity - 1) m_read = written - (capacity - 1);
    const size_t first = out.size();
    for (uint64_t i = m_read; i < written; ++i) {
        const uint16_t word = m_pairs[i % capacity].load(std::memory_order_relaxed);
        out.push_back({static_cast<int8_t>(word & 0xFF), static_cast<int8_t>(word >> 8)});
    }
    // A consumer held up while copying may have been lapped again: the slots the producer has
    // reached since (and the one it may be writing now) hold newer pairs, so they are dropped
    // rather than shown out of order.
    std::atomic_thread_fence(std::memory_order_acquire);
    const uint64_t after = m_written.load(std::memory_order_relaxed);
    if (after - m_read > capacity - 1) {
        const uint64_t lost = std::min<uint64_t>(after - (capacity - 1) - m_read, written - m_read);
        out.erase(out.begin() + static_cast<std::ptrdiff_t>(first),
                  out.begin() + static_cast<std::ptrdiff_t>(first + lost));
    }
    const size_t count = out.size() - first;
    m_read = written;
    return count;
}

void PeakRing::discard() { m_read = m_written.load(std::memory_order_acquire); }
