#pragma once
// Measures the peak level of every block and how long the input has been quiet, for the level
// meter and the voice-activation gate. Blocks pass unchanged.
//
// transform runs on the recorder's thread under this node's lock; the getters and set_vas_level
// come from the GUI thread and take the same lock.
#include <vector>

#include "audio/audio_node.h"
#include "audio/peaks.h"

class LevelFilter : public AudioFilter {
public:
    static constexpr double silence_limit = 2.0;

    // 0.0 .. 1.0 of full scale; 0.0 switches voice activation off.
    void set_vas_level(double level);
    double vas_level();
    // Peak of the last block, 0.0 .. 1.0.
    double current_level();
    double silence_time();
    // The input has been quiet for the silence limit; never while voice activation is off.
    bool is_silent();
    // The shape of the sound that passed since the last call (all of it, gated or not), for the
    // live waveform; takes no lock.
    size_t take_live_peaks(std::vector<PeakPair>& out) { return m_live.take(out); }

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    double m_current_level = 0.0;
    double m_vas_level = 0.0;
    double m_silence_time = 2.0;  // a fresh node counts as having been quiet
    PeakAccumulator m_peaks;
    std::vector<PeakPair> m_made;
    PeakRing m_live;
};
