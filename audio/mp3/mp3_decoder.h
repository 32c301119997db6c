#pragma once
// The decoder node behind FileReaderMP3: one MPEG frame in, its 16-bit PCM out, over libmad. The
// decoder state lives across frames because Layer III frames borrow bits from the ones before them.
//
// Behind a FileReaderMP3 it also cuts each frame's PCM to the frame's span (the encoder's delay and
// end padding are not part of the recording); a frame with nothing left in its span is skipped.
//
// Threads: get_data and transform run under the node's lock on the pulling (player's) thread; a
// seek of the reader made under that lock (FileReader::seek) never falls between a frame's pull
// and its span.
#include <memory>
#include <vector>

#include "audio/audio_node.h"

class FileReaderMP3;

class Mp3Decoder : public AudioFilter {
public:
    // source: the reader this node pulls from, asked for each frame's span; null plays whole frames.
    explicit Mp3Decoder(const FileReaderMP3* source = nullptr);
    ~Mp3Decoder() override;

    // Pulls frames until one leaves samples in its span (or the stream ends).
    AudioBlock get_data(int requested_frames) override;

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
    // Decodes one frame block; `skipped` when it decoded but its span held nothing.
    AudioBlock decode(const AudioBlock& block, bool& skipped);

    const FileReaderMP3* m_source;
    std::unique_ptr<State> m_state;
    std::vector<unsigned char> m_input;
    int m_failed_frames = 0;
};
