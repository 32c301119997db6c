#pragma once
// One open recording for playback: the stream reader that owns the file and, for the codecs whose
// stream reader hands out coded units, the decoder node linked behind it. The player pulls from
// output(); the document and the playback screen ask info().
//
//     std::unique_ptr<FileReader> reader = FileReader::open(path);
//     if (reader) connect(reader->output(), &player);
#include <memory>
#include <string>

#include "audio/audio_node.h"
#include "audio/stream/stream_reader.h"

class FileReader {
public:
    // Why the factory turned a file down.
    enum class Refusal {
        None,
        CannotOpen,       // missing, a folder, or not readable
        EmptyFile,        // 0 bytes
        UnsupportedWave,  // a RIFF/WAVE file in a format no WAV reader takes
        UnsupportedOgg,   // an Ogg file that is no Vorbis stream we can read
        UnsupportedMusepack,
        NotAudio,  // no container magic and no MPEG audio frames
    };
    // One line of English for command-line programs and the log.
    static const char* describe(Refusal refusal);

    // The reader factory. The file's first bytes choose the readers to try: a RIFF/WAVE file only
    // the WAV readers (PCM, ADPCM, GSM), an Ogg file only Vorbis, a Musepack file only Musepack,
    // anything else only MP3; the file's name plays no part. Null when none accepts the file, with
    // the reason in *refusal when asked.
    static std::unique_ptr<FileReader> open(const std::u16string& path, Refusal* refusal = nullptr);

    // decoder may be null (PCM, and codecs whose stream reader already gives PCM).
    FileReader(std::u16string codec, std::u16string path, std::unique_ptr<StreamReader> stream,
               std::unique_ptr<AudioFilter> decoder);
    ~FileReader();
    FileReader(const FileReader&) = delete;
    FileReader& operator=(const FileReader&) = delete;

    // The last node of the chain: where the player pulls PCM from.
    AudioPort& output();
    StreamInfo& info() { return *m_stream; }
    const StreamInfo& info() const { return *m_stream; }
    // "PCM", "ADPCM", "GSM", "Vorbis", "MPC" or "mp3".
    const std::u16string& codec() const { return m_codec; }
    const std::u16string& path() const { return m_path; }

    // Seeks the stream and lets the decoder forget state that belongs to the old position.
    bool seek(std::int64_t position);

private:
    std::u16string m_codec;
    std::u16string m_path;
    std::unique_ptr<StreamReader> m_stream;
    std::unique_ptr<AudioFilter> m_decoder;
};
