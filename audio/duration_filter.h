#pragma once
// Adds up the recorded time of the blocks that reach the file, and the shape of that sound (the
// peaks the recording keeps for its waveform). Blocks pass unchanged, up to an optional limit: past
// it nothing more is passed on, so a recording made for N seconds holds exactly N seconds however
// fast its source delivers them.
// transform runs on the recorder's thread under this node's lock; total / reset / set_limit take the lock.
#include <vector>

#include "audio/audio_node.h"
#include "audio/peaks.h"

class DurationFilter : public AudioFilter {
public:
    double total();
    // Starts the count and the peaks afresh (the limit stays).
    void reset();
    // Seconds after which blocks are cut off; 0 for none.
    void set_limit(double seconds);
    // Appends the pairs completed since the last call.
    void take_peaks(std::vector<PeakPair>& out);
    // Appends the pairs still waiting and the partial last one: the recording has ended.
    void finish_peaks(std::vector<PeakPair>& out);

    void on_data(const AudioBlock& block) override;

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    double m_total = 0.0;
    double m_limit = 0.0;
    PeakAccumulator m_accumulator;
    std::vector<PeakPair> m_peaks;
};
