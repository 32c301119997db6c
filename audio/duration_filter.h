#pragma once
// Adds up the recorded time of the blocks that reach the file. Blocks pass unchanged, up to an
// optional limit: past it nothing more is passed on, so a recording made for N seconds holds
// exactly N seconds however fast its source delivers them.
// transform runs on the recorder's thread under this node's lock; total / reset / set_limit take the lock.
#include "audio/audio_node.h"

class DurationFilter : public AudioFilter {
public:
    double total();
    // Starts the count again (the limit stays).
    void reset();
    // Seconds after which blocks are cut off; 0 for none.
    void set_limit(double seconds);

    void on_data(const AudioBlock& block) override;

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    double m_total = 0.0;
    double m_limit = 0.0;
};
