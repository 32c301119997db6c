#include "audio/duration_filter.h"

#include <mutex>

double DurationFilter::total() {
    std::lock_guard guard(lock());
    return m_total;
}

void DurationFilter::reset() {
    std::lock_guard guard(lock());
    m_total = 0.0;
}

AudioBlock DurationFilter::transform(const AudioBlock& block) {
    if (block.rate() != 0) m_total += static_cast<double>(block.frames()) / block.rate();
    return block;
}
