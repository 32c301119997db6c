#pragma once
// Adds up the recorded time of the blocks that reach the file, and the shape of that sound (the
// peaks the recording keeps for its waveform). Blocks pass unchanged.
// transform runs on the recorder's thread under this node's lock; total / reset take the lock.
#include <vector>

#include "audio/audio_node.h"
#include "audio/peaks.h"

class DurationFilter : public AudioFilter {
public:
    double total();
    // Also starts the peaks afresh.
    void reset();
    // Appends the pairs completed since the last call.
    void take_peaks(std::vector<PeakPair>& out);
    // Appends the pairs still waiting and the partial last one: the recording has ended.
    void finish_peaks(std::vector<PeakPair>& out);

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    double m_total = 0.0;
    PeakAccumulator m_accumulator;
    std::vector<PeakPair> m_peaks;
};
