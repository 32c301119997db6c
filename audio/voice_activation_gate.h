#pragma once
// Keeps long silences out of the file: on each 0.2 s tick of a running recording the link from the
// level node to the duration counter is cut while the input is silent and restored when it is not.
// Pausing a recording cuts the same link, resuming restores it. GUI thread only.
//
// While the silence gate is closed the level node feeds a pre-roll that keeps the latest blocks
// (at least pre_roll_seconds of them). The tick that sees speech again passes them on before the
// link is restored: the block that ended the silence arrived before that tick, and without the
// pre-roll the first syllable would be lost. A pause keeps nothing: what is captured while paused
// is dropped.
#include <deque>
#include <vector>

#include "audio/audio_node.h"

class LevelFilter;
class DurationFilter;

// The blocks the level node delivered while the gate was closed, newest last. Runs on the
// recorder's thread under its own lock, like any consumer.
class PreRoll final : public AudioConsumer {
public:
    explicit PreRoll(double seconds) : m_seconds(seconds) {}
    void on_data(const AudioBlock& block) override;
    // Takes the held blocks out, oldest first.
    std::vector<AudioBlock> take();
    double held_seconds();

private:
    double m_seconds;
    std::deque<AudioBlock> m_blocks;
    double m_held_seconds = 0.0;
};

class VoiceActivationGate {
public:
    // Two ticks and a capture buffer (the blocks since the last tick and the one the boost node may
    // still hold back) with room to spare.
    static constexpr double pre_roll_seconds = 0.6;

    VoiceActivationGate(LevelFilter& level, DurationFilter& duration) : m_level(level), m_duration(duration) {}
    ~VoiceActivationGate();

    void tick();
    // Restores the link (at a start, or a resume); nothing held is passed on.
    void link();
    // Cuts the link and keeps nothing (a pause, a stop).
    void unlink();
    bool is_linked() const;

private:
    void close();
    void open();

    LevelFilter& m_level;
    DurationFilter& m_duration;
    PreRoll m_pre_roll{pre_roll_seconds};
};
