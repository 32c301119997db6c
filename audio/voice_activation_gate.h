#pragma once
// Keeps long silences out of the file: on each 0.2 s tick of a running recording the link from the
// level node to the duration counter is cut while the input is silent and restored when it is not.
// Pausing a recording cuts the same link, resuming restores it. GUI thread only.
class LevelFilter;
class DurationFilter;

class VoiceActivationGate {
public:
    VoiceActivationGate(LevelFilter& level, DurationFilter& duration) : m_level(level), m_duration(duration) {}

    void tick();
    void link();
    void unlink();
    bool is_linked() const;

private:
    LevelFilter& m_level;
    DurationFilter& m_duration;
};
