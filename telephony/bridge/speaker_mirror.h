#pragma once
// Mirrors the call-audio daemon's "SpeakerState" into "Speaker" under "System\State\Hardware", so
// the recorder sees the speaker switched from the phone's own dialer as well as from itself. Lives
// on the session bus; without one it logs once and does nothing.
#include <memory>

class SpeakerMirror {
public:
    SpeakerMirror();
    ~SpeakerMirror();
    SpeakerMirror(const SpeakerMirror&) = delete;
    SpeakerMirror& operator=(const SpeakerMirror&) = delete;

private:
    struct State;
    std::unique_ptr<State> m_state;
};
