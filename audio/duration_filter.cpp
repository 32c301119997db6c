#include "audio/duration_filter.h"

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

AudioBlock DurationFilter::transform(const AudioBlock& block) {
    if (block.rate() != 0) m_total += static_cast<double>(block.frames()) / block.rate();
    m_accumulator.add(block, m_peaks);
    return block;
}
