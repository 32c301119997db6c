#pragma once
// The decoder node behind FileReaderMP3: one MPEG frame in, its 16-bit PCM out, over libmad. The
// decoder state lives across frames because Layer III frames borrow bits from the ones before them.
//
// Threads: transform runs under the node's lock on the pulling (player's) thread.
#include <memory>
#include <vector>

#include "audio/audio_node.h"

class Mp3Decoder : public AudioFilter {
public:
    Mp3Decoder();
    ~Mp3Decoder() override;

    // Frames that failed to decode and were played as silence.
    int failed_frames() const { return m_failed_frames; }
    // Forgets the bit reservoir; call after a seek so old bits are not mixed into new frames.
    void reset();

protected:
    // A frame block in, {channels, 16, rate} PCM out. A frame the library cannot decode gives a
    // frame of silence, so one damaged frame neither ends the playback nor shifts the time.
    AudioBlock transform(const AudioBlock& block) override;

private:
    struct State;
    std::unique_ptr<State> m_state;
    std::vector<unsigned char> m_input;
    int m_failed_frames = 0;
};
