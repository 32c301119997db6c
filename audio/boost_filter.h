#pragma once
// Raises quiet speech: each dominant peak (the loudest sample within 100 ms on both sides) gets the
// gain that maps its magnitude through a knee curve, and the gain moves linearly from one peak's
// gain to the next between zero crossings, so the boost never clicks. The last 100 ms or more of
// every block is held back to judge a peak on both sides.
//
// Push only: on_data runs on the recorder's thread under this node's lock (taken by feed). Pulled
// blocks pass through unprocessed. set_boost / reset come from the GUI thread and take the lock.
#include <cstdint>
#include <vector>

#include "audio/audio_node.h"

class BoostFilter : public AudioFilter {
public:
    BoostFilter();

    // 1 (off), 2, 4 or 8; anything below 2 switches the boost off.
    void set_boost(int factor);
    int factor();
    // Drops the held samples and forgets the previous peak: called after each recording.
    void reset();
    // Feeds the held samples on at the gain of the last accepted peak (unchanged when there was
    // none): at stop nothing follows to judge them by, and they belong to the recording.
    void flush();

    void on_data(const AudioBlock& block) override;

    // The knees of the transfer curve; for tests and the options screen.
    struct Knees {
        int x0, y0, x1, y1, x2, ymax;
    };
    Knees knees();
    // Output magnitude for an input magnitude 0..32768, in units of 1/16384.
    int64_t curve(int64_t magnitude) const;
    // Gain in units of 1/16384 that takes a peak of this signed value onto the curve; 0 for 0.
    int64_t gain(int value) const;

    // Processes n samples in place and returns how many are final. Exposed for tests.
    std::size_t process(int16_t* samples, std::size_t n, int rate);

protected:
    AudioBlock transform(const AudioBlock& block) override { return block; }

private:
    void flush_held();

    int m_factor = 1;
    int m_x0 = 750, m_y0 = 750, m_x1 = 2000, m_y1 = 2000, m_x2 = 30000, m_ymax = 30000;
    AudioBlock m_held;
    int m_previous_peak = 0;
};
