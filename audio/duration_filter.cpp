#include "audio/duration_filter.h"

#include <algorithm>
#include <cmath>
#include <mutex>

double DurationFilter::total() {
    std::lock_guard guard(lock());
    return m_total;
}

void DurationFilter::reset() {
    std::lock_guard guard(lock());
    m_total = 0.0;
    m_accumulator.reset();
    m_peaks.clear();
}

void DurationFilter::take_peaks(std::vector<PeakPair>& out) {
    std::lock_guard guard(lock());
    out.insert(out.end(), m_peaks.begin(), m_peaks.end());
    m_peaks.clear();
}

void DurationFilter::finish_peaks(std::vector<PeakPair>& out) {
    std::lock_guard guard(lock());
    m_accumulator.flush(m_peaks);
    out.insert(out.end(), m_peaks.begin(), m_peaks.end());
    m_peaks.clear();
}

void DurationFilter::set_limit(double seconds) {
    std::lock_guard guard(lock());
    m_limit = std::max(0.0, seconds);
}

void DurationFilter::on_data(const AudioBlock& block) {
    std::lock_guard guard(lock());
    AudioBlock out = transform(block);
    // Past the limit a block is dropped, not passed on empty: an empty block means "the end" downstream.
    if (out.is_empty() && !block.is_empty()) return;
    feed(*this, out);
}

AudioBlock DurationFilter::transform(const AudioBlock& block) {
    if (block.rate() == 0) return block;
    AudioBlock out = block;
    if (m_limit > 0) {
        const auto done = static_cast<long long>(std::llround(m_total * block.rate()));
        const auto allowed = static_cast<long long>(std::llround(m_limit * block.rate()));
        const long long frames = std::clamp<long long>(allowed - done, 0, block.frames());
        if (frames < block.frames()) {
            out = frames > 0 ? block.sub_block(0, static_cast<std::size_t>(frames) * block.format().block_align())
                             : AudioBlock();
        }
    }
    m_total += static_cast<double>(out.frames()) / block.rate();
    m_accumulator.add(out, m_peaks);
    return out;
}
