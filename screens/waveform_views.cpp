#include "screens/waveform_views.h"

#include <chrono>

#include "document/document_face.h"
#include "os/log.h"
#include "screens/screen_values.h"

namespace screens {

std::vector<WavePeak> wave_peaks_of(const std::vector<PeakPair>& pairs, size_t first) {
    std::vector<WavePeak> out;
    if (first >= pairs.size()) return out;
    out.reserve(pairs.size() - first);
    for (size_t i = first; i < pairs.size(); ++i) out.push_back({pairs[i].low, pairs[i].high});
    return out;
}

// ---- recording -----------------------------------------------------------------------------------

void RecordingWaveView::attach(Widget* wave, Widget* mark, Widget* state, Widget* dot, Widget* idle_dot) {
    m_wave = dynamic_cast<WaveformWidget*>(wave);
    m_mark = mark;
    m_state = state;
    m_dot = dot;
    m_idle_dot = idle_dot;
}

void RecordingWaveView::restart(DocumentFace& document) {
    m_state_shown.clear();
    m_scratch.clear();
    // What the level node measured before this recording is no part of it.
    document.take_live_peaks(m_scratch);
    m_scratch.clear();
    if (m_wave) m_wave->clear();
    show_threshold(document.vas_level());
}

void RecordingWaveView::show_threshold(double level) {
    if (m_wave) m_wave->set_threshold(level);
    show_value(m_mark, level);
    // Voice activation off: no line says where the sound must reach.
    if (m_mark) m_mark->set_visible(level > 0.0);
}

void RecordingWaveView::update_with(DocumentFace& document, const std::u16string& recording,
                                    const std::u16string& paused, const std::u16string& waiting) {
    m_scratch.clear();
    document.take_live_peaks(m_scratch);
    const bool is_paused = document.is_paused();
    // While paused nothing is recorded, so nothing scrolls by; waiting for speech shows the sound
    // that stays under the threshold.
    if (m_wave && !is_paused && document.is_recording() && !m_scratch.empty()) {
        m_fresh.clear();
        for (const PeakPair& pair : m_scratch) m_fresh.push_back({pair.low, pair.high});
        m_wave->append_peaks(m_fresh);
    }
    const bool waiting_now = document.is_waiting_for_speech();
    const bool growing = document.is_recording() && !is_paused && !waiting_now;
    const std::u16string_view state = is_paused ? u"Paused" : waiting_now ? u"Waiting" : u"Recording";
    if (state != m_state_shown) {
        m_state_shown = state;
        os::log() << u"recording screen: " << m_state_shown << u"\n";
    }
    if (m_state) m_state->set_text(is_paused ? paused : waiting_now ? waiting : recording);
    if (m_dot) {
        // Once a second, half lit and half dark, while the file grows.
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
                .count();
        m_dot->set_visible(growing && (ms / 500) % 2 == 0);
    }
    if (m_idle_dot) m_idle_dot->set_visible(!growing);
}

// ---- playback ------------------------------------------------------------------------------------

void PlaybackWaveView::attach(Widget* wave, Widget* touch) {
    m_wave = dynamic_cast<WaveformWidget*>(wave);
    m_touch = touch;
    m_shown = 0;
    m_path.clear();
}

void PlaybackWaveView::update(DocumentFace& document, double position_fraction) {
    if (!m_wave) return;
    document.poll_wave();
    const RecordEntry& record = document.current_record();
    if (document.wave_path() == record.path) {
        const std::vector<PeakPair>& peaks = document.wave_peaks();
        if (document.wave_path() != m_path || peaks.size() != m_shown || document.expected_wave_peaks() != m_expected) {
            m_path = document.wave_path();
            m_shown = peaks.size();
            m_expected = document.expected_wave_peaks();
            m_wave->set_peaks(wave_peaks_of(peaks), m_expected);
        }
    } else if (!m_path.empty() || m_shown != 0) {
        m_path.clear();
        m_shown = 0;
        m_wave->clear();
    }
    m_wave->set_position(position_fraction);
}

}  // namespace screens
