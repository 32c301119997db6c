#pragma once
// Adds up the recorded time of the blocks that reach the file. Blocks pass unchanged.
// transform runs on the recorder's thread under this node's lock; total / reset take the lock.
#include "audio/audio_node.h"

class DurationFilter : public AudioFilter {
public:
    double total();
    void reset();

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    double m_total = 0.0;
};
