#include "audio/boost_filter.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace {

int16_t clamp_sample(int64_t value) { return static_cast<int16_t>(std::clamp<int64_t>(value, -32768, 32767)); }

// s × gain / 16384, rounded toward zero like an arithmetic shift with the negative bias.
int16_t apply_gain(int16_t sample, int64_t gain) { return clamp_sample(static_cast<int64_t>(sample) * gain / 16384); }

bool is_crossing(const int16_t* s, std::size_t q) { return static_cast<int32_t>(s[q]) * s[q - 1] < 1; }

}  // namespace

BoostFilter::BoostFilter() { set_boost(1); }

void BoostFilter::set_boost(int k) {
    std::lock_guard guard(lock());
    m_factor = k > 1 ? k : 1;
    m_x0 = 750;
    m_y0 = 750;
    m_x1 = 2000;
    m_ymax = 30000;
    const double g = std::max(k * 0.5, 1.0);
    m_y1 = static_cast<int>((m_x1 - m_x0) * g + m_y0);
    if (m_y1 > m_ymax) {
        m_x1 = m_x0 + (m_ymax - m_y0) * (m_x1 - m_x0) / (m_y1 - m_y0);
        m_y1 = m_ymax;
    }
    m_x2 = std::clamp(m_x1 + (m_ymax - m_y1) / m_factor, m_x1, m_ymax);
}

int BoostFilter::factor() {
    std::lock_guard guard(lock());
    return m_factor;
}

BoostFilter::Knees BoostFilter::knees() {
    std::lock_guard guard(lock());
    return Knees{m_x0, m_y0, m_x1, m_y1, m_x2, m_ymax};
}

void BoostFilter::reset() {
    std::lock_guard guard(lock());
    m_previous_peak = 0;
    m_held = AudioBlock();
}

void BoostFilter::flush() {
    std::lock_guard guard(lock());
    if (m_held.is_empty()) return;
    AudioBlock held(m_held.length(), m_held.format());
    std::memcpy(held.data(), m_held.data(), m_held.length());
    m_held = AudioBlock();
    if (m_previous_peak != 0 && held.bits() == 16 && held.channels() == 1) {
        auto* samples = reinterpret_cast<int16_t*>(held.data());
        const int64_t g = gain(m_previous_peak);
        for (std::size_t k = 0; k < held.length() / 2; ++k) samples[k] = apply_gain(samples[k], g);
    }
    feed(*this, held);
}

int64_t BoostFilter::curve(int64_t x) const {
    int64_t x_lo = m_x2, y_lo = m_ymax, x_hi = 32768, y_hi = 32768;
    if (x < m_x0) {
        x_lo = 0, y_lo = 0, x_hi = m_x0, y_hi = m_y0;
    } else if (x < m_x1) {
        x_lo = m_x0, y_lo = m_y0, x_hi = m_x1, y_hi = m_y1;
    } else if (x < m_x2) {
        x_lo = m_x1, y_lo = m_y1, x_hi = m_x2, y_hi = m_ymax;
    }
    return ((y_hi * (x - x_lo) + y_lo * (x_hi - x)) * 16384) / (x_hi - x_lo);
}

int64_t BoostFilter::gain(int value) const {
    if (value == 0) return 0;
    const int64_t magnitude = std::abs(value);
    // The curve is already in 1/16384 units, so dividing by the magnitude gives the gain in them.
    return curve(magnitude) / magnitude;
}

void BoostFilter::flush_held() {
    if (m_held.is_empty()) return;
    AudioBlock held = std::move(m_held);
    m_held = AudioBlock();
    feed(*this, held);
}

void BoostFilter::on_data(const AudioBlock& block) {
    std::lock_guard guard(lock());
    const bool boostable = m_factor > 1 && block.bits() == 16 && block.channels() == 1 && block.rate() > 0;
    // Held samples of another format (or from before the boost was switched off) go first, so the
    // order of samples never changes.
    if (!m_held.is_empty() && (!boostable || m_held.format() != block.format())) flush_held();
    if (!boostable) {
        feed(*this, block);
        return;
    }
    AudioBlock joined(m_held.length() + block.length(), block.format());
    if (m_held.length() > 0) std::memcpy(joined.data(), m_held.data(), m_held.length());
    if (block.length() > 0) std::memcpy(joined.data() + m_held.length(), block.data(), block.length());
    const std::size_t n = joined.length() / 2;
    // Samples are 16-bit little-endian; the heap array is suitably aligned for int16_t.
    auto* samples = reinterpret_cast<int16_t*>(joined.data());
    const std::size_t final_samples = process(samples, n, block.rate());
    const std::size_t final_bytes = final_samples * 2;
    m_held = joined.sub_block(final_bytes, joined.length() - final_bytes);
    if (final_bytes > 0) feed(*this, joined.sub_block(0, final_bytes));
}

std::size_t BoostFilter::process(int16_t* s, std::size_t n_samples, int rate) {
    const int64_t n = static_cast<int64_t>(n_samples);
    const int64_t window = rate / 10;
    const int64_t last = n - window;
    if (last <= 0) return 0;
    auto magnitude = [&](int64_t k) { return std::abs(static_cast<int32_t>(s[k])); };

    int64_t i = 0, e = 0, final_count = 0;
    int64_t fallback_width = 0, fallback_end = 0;
    int fallback_value = 0;
    while (e < n && i < last) {
        int64_t j = i + 1;
        while (j<n&& static_cast<int32_t>(s[j - 1]) * s[j]> 0) ++j;
        if (j >= n) break;

        int64_t peak = i;
        for (int64_t k = i; k < j && k < last; ++k) {
            if (magnitude(k) > magnitude(peak)) peak = k;
        }
        const int value = s[peak];
        const int m = std::abs(value);
        if (value == 0) {
            i = j;
            continue;
        }
        int64_t p = 1;
        while (p < window) {
            if (peak - p >= e && magnitude(peak - p) > m) break;
            if (peak + p < n && magnitude(peak + p) > m) break;
            ++p;
        }
        if (p >= fallback_width) {
            fallback_width = p;
            fallback_value = value;
            fallback_end = j;
        }
        if (p < window) {
            i = j;
            continue;
        }

        const int64_t v = gain(value);
        const int64_t u = gain(m_previous_peak);
        if (j >= n - 1) j = n;
        int64_t c = i;
        const int previous_magnitude = std::abs(m_previous_peak);
        if (previous_magnitude < m) {
            // Louder than before: ramp up to the zero crossing before the first sample that is
            // louder than the previous peak.
            for (int64_t q = e + 1; q < i; ++q) {
                if (is_crossing(s, static_cast<std::size_t>(q))) c = q;
                if (magnitude(q) > previous_magnitude) break;
            }
        } else {
            // Quieter: keep the old gain as long as the samples allow, then ramp down.
            int64_t t = e;
            if (e < i - 1) {
                for (int64_t q = i - 1; q > e; --q) {
                    if (is_crossing(s, static_cast<std::size_t>(q))) t = q;
                    if (magnitude(q) > m) break;
                }
            }
            for (int64_t k = e; k < t; ++k) s[k] = apply_gain(s[k], u);
            e = t;
        }
        const int64_t span = c - e;
        for (int64_t k = e; k < c; ++k) {
            s[k] = clamp_sample(static_cast<int64_t>(s[k]) * (u * (c - k) + v * (k - e)) / (span * 16384));
        }
        for (int64_t k = c; k < j; ++k) s[k] = apply_gain(s[k], v);
        m_previous_peak = value;
        final_count = j;
        if (j >= last) break;
        i = j;
        e = j;
    }
    if (final_count == 0 && n > rate) {
        // More than a second without a dominant peak: let the samples go on without gain.
        if (fallback_end != 0) {
            if (std::abs(fallback_value) > std::abs(m_previous_peak)) m_previous_peak = fallback_value;
            final_count = fallback_end;
        } else {
            final_count = n;
        }
    }
    return static_cast<std::size_t>(final_count);
}
