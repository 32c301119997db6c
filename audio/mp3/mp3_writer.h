#pragma once
// The MP3 writer as one consumer: Mp3Encoder feeding FileWriterMP3. Destroying it flushes the
// encoder into the file before the file is closed, so the end of the recording is kept whatever
// order the owner tears things down in. A new stream starts with LAME's info frame (our own where
// LAME's frames are too small to hold one), filled in at the end; continuing a file extends the info frame the file
// already has, so decoders that trust it still play the appended part.
//
// on_data runs on the ActiveBuffer's thread; is_valid may be read from any thread.
#include <memory>
#include <string>

#include "audio/audio_node.h"
#include "audio/mp3/file_writer_mp3.h"
#include "audio/mp3/mp3_encoder.h"

class Mp3Writer : public AudioConsumer {
public:
    // append: add after what the file holds (the ID3 tag of a new recording, or an earlier
    // recording being continued).
    Mp3Writer(std::u16string path, bool append, int32_t bit_rate);
    ~Mp3Writer() override;

    void on_data(const AudioBlock& block) override;
    bool is_valid() const { return m_file_writer->is_valid(); }
    Mp3Encoder& encoder() { return *m_encoder; }
    FileWriterMP3& file_writer() { return *m_file_writer; }

private:
    std::unique_ptr<Mp3Encoder> m_encoder;
    std::unique_ptr<FileWriterMP3> m_file_writer;
    int64_t m_stream_start = 0;  // where this writer's first frame goes
    int64_t m_audio_start = 0;   // where the file's first frame is
    bool m_continuing = false;
};
