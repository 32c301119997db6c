#include "audio/playback_shaper.h"

#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>

// SoundTouch as this build of it takes samples (floats here), for one format at a time.
class PlaybackShaper::Stretcher {
public:
    Stretcher(const AudioFormat& format, double tempo) : m_format(format) {
        m_touch.setSampleRate(static_cast<unsigned>(format.rate));
        m_touch.setChannels(static_cast<unsigned>(format.channels));
        m_touch.setTempo(tempo);
        // Speech: shorter sequences than the music defaults keep syllables crisp.
        m_touch.setSetting(SETTING_SEQUENCE_MS, 40);
        m_touch.setSetting(SETTING_SEEKWINDOW_MS, 15);
        m_touch.setSetting(SETTING_OVERLAP_MS, 8);
    }
    const AudioFormat& format() const { return m_format; }
    void set_tempo(double tempo) { m_touch.setTempo(tempo); }
    void put(const AudioBlock& block) {
        const int frames = block.frames();
        const size_t count = static_cast<size_t>(frames) * static_cast<size_t>(m_format.channels);
        m_in.resize(count);
        const auto* samples = reinterpret_cast<const uint8_t*>(block.data());
        for (size_t i = 0; i < count; ++i) {
            int16_t s;
            std::memcpy(&s, samples + 2 * i, 2);
            m_in[i] = static_cast<soundtouch::SAMPLETYPE>(s) * (1.0f / 32768.0f);
        }
        m_touch.putSamples(m_in.data(), static_cast<unsigned>(frames));
    }
    void flush() { m_touch.flush(); }
    void clear() { m_touch.clear(); }
    unsigned available() const { return m_touch.numSamples(); }
    AudioBlock take(int frames) {
        const int channels = m_format.channels;
        m_out.resize(static_cast<size_t>(frames) * static_cast<size_t>(channels));
        const unsigned got = m_touch.receiveSamples(m_out.data(), static_cast<unsigned>(frames));
        AudioBlock block(static_cast<size_t>(got) * static_cast<size_t>(channels) * 2, m_format);
        auto* out = block.data();
        for (size_t i = 0; i < static_cast<size_t>(got) * static_cast<size_t>(channels); ++i) {
            const float v = std::clamp(m_out[i] * 32768.0f, -32768.0f, 32767.0f);
            const auto s = static_cast<int16_t>(std::lrint(v));
            std::memcpy(out + 2 * i, &s, 2);
        }
        return block;
    }

private:
    AudioFormat m_format;
    soundtouch::SoundTouch m_touch;
    std::vector<soundtouch::SAMPLETYPE> m_in;
    std::vector<soundtouch::SAMPLETYPE> m_out;
};

PlaybackShaper::PlaybackShaper() = default;
PlaybackShaper::~PlaybackShaper() = default;

void PlaybackShaper::set_speed(int percent) {
    std::lock_guard guard(lock());
    m_speed = std::clamp(percent, 50, 400);
    if (m_stretcher) m_stretcher->set_tempo(m_speed / 100.0);
}

int PlaybackShaper::speed() {
    std::lock_guard guard(lock());
    return m_speed;
}

void PlaybackShaper::set_skip_silence(bool skip, double level) {
    std::lock_guard guard(lock());
    m_skip = skip;
    m_silence_level = level > 0.0 && level < 1.0 ? level : default_silence_level;
    m_silent_seconds = 0.0;
}

bool PlaybackShaper::skips_silence() {
    std::lock_guard guard(lock());
    return m_skip;
}

void PlaybackShaper::clear() {
    std::lock_guard guard(lock());
    if (m_stretcher) m_stretcher->clear();
    m_silent_seconds = 0.0;
    m_flushed = false;
}

AudioBlock PlaybackShaper::drop_silence(const AudioBlock& block) {
    const int frames = block.frames();
    if (!m_skip || frames == 0 || block.bits() != 16 || block.rate() <= 0) return block;
    const int window = std::max(1, static_cast<int>(block.rate() * silence_window_seconds));
    const int align = block.format().block_align();
    const auto threshold = static_cast<int>(m_silence_level * 32768.0);
    AudioBlock kept(block.length(), block.format());
    size_t kept_bytes = 0;
    const uint8_t* in = block.data();
    for (int start = 0; start < frames; start += window) {
        const int run = std::min(window, frames - start);
        int peak = 0;
        for (int f = start; f < start + run; ++f) {
            int16_t s;
            std::memcpy(&s, in + static_cast<size_t>(f) * align, 2);
            peak = std::max(peak, std::abs(static_cast<int>(s)));
        }
        if (peak < threshold) {
            m_silent_seconds += static_cast<double>(run) / block.rate();
            if (m_silent_seconds > silence_kept_seconds) continue;
        } else {
            m_silent_seconds = 0.0;
        }
        std::memcpy(kept.data() + kept_bytes, in + static_cast<size_t>(start) * align,
                    static_cast<size_t>(run) * align);
        kept_bytes += static_cast<size_t>(run) * align;
    }
    return kept.sub_block(0, kept_bytes);
}

AudioBlock PlaybackShaper::get_data(int requested_frames) {
    std::lock_guard guard(lock());
    const bool stretch = m_speed != 100;
    if (!stretch && !m_skip && (!m_stretcher || m_stretcher->available() == 0)) return pull(*this, requested_frames);
    for (;;) {
        if (m_stretcher && m_stretcher->available() > 0 && (stretch || m_stretcher->available() > 0)) {
            return m_stretcher->take(requested_frames);
        }
        AudioBlock block = pull(*this, requested_frames);
        if (block.is_empty()) {
            // The end: what the stretcher still holds comes out once.
            if (m_stretcher && !m_flushed) {
                m_flushed = true;
                m_stretcher->flush();
                if (m_stretcher->available() > 0) continue;
            }
            return block;
        }
        m_flushed = false;
        block = drop_silence(block);
        if (block.is_empty()) continue;
        if (!stretch || block.bits() != 16) return block;
        if (!m_stretcher || !(m_stretcher->format() == block.format())) {
            m_stretcher = std::make_unique<Stretcher>(block.format(), m_speed / 100.0);
        }
        m_stretcher->put(block);
    }
}
