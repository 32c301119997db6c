#pragma once
// The waveforms and the state line of the recording and playback screens, from their optional skin
// nodes (a skin without them shows the screens as before):
//
// - recording: "wave" scrolls the sound of the last seconds by as the level node measures it,
//   with the voice-activation threshold on it; "pbVASMark" marks the threshold on the level meter;
//   "frmState" says "Recording", "Paused" or "Waiting for speech", beside "stateDot" (red, pulsing
//   once a second while the file grows) or "stateDotIdle" (while it does not).
// - playback: "wave" shows the whole recording, the played part in its accent, its peaks arriving
//   while they are computed; "btnWave" over it seeks where it is tapped or dragged.
#include <cstdint>
#include <string>
#include <vector>

#include "document/document_face.h"
#include "skin/waveform_widget.h"

class DocumentFace;
class FormScreen;
class Widget;

namespace screens {

std::vector<WavePeak> wave_peaks_of(const std::vector<PeakPair>& pairs, size_t first = 0);

class RecordingWaveView {
public:
    // The nodes of a freshly built form (any may be missing).
    void attach(Widget* wave, Widget* mark, Widget* state, Widget* dot, Widget* idle_dot);
    // The recording begins (or the screen is shown again): the live view starts empty.
    void restart(DocumentFace& document);
    // Reads the new live peaks and the state; `texts` gives the language text of a key.
    template <typename Texts>
    void update(DocumentFace& document, const Texts& texts) {
        update_with(document, texts(u"State_Recording"), texts(u"State_Paused"), texts(u"State_Waiting"));
    }
    void show_threshold(double level);

private:
    void update_with(DocumentFace& document, const std::u16string& recording, const std::u16string& paused,
                     const std::u16string& waiting);

    WaveformWidget* m_wave = nullptr;
    Widget* m_mark = nullptr;
    Widget* m_state = nullptr;
    Widget* m_dot = nullptr;
    Widget* m_idle_dot = nullptr;
    std::vector<PeakPair> m_scratch;
    std::vector<WavePeak> m_fresh;
    // The state last shown, logged when it changes ("recording screen: Paused").
    std::u16string m_state_shown;
};

class PlaybackWaveView {
public:
    void attach(Widget* wave, Widget* touch);
    bool has_wave() const { return m_wave != nullptr; }
    Widget* touch() const { return m_touch; }
    // Shows the document's peaks of the current record; new ones are taken as they arrive.
    void update(DocumentFace& document, double position_fraction);
    void forget() {
        m_shown = 0;
        m_path.clear();
    }

private:
    WaveformWidget* m_wave = nullptr;
    Widget* m_touch = nullptr;
    std::u16string m_path;
    size_t m_shown = 0;
    size_t m_expected = 0;
};

}  // namespace screens
