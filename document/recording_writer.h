#pragma once
// The file end of a recording chain, whatever the codec: the MP3 writer for "mp3", the WAV writers
// for "PCM", "ADPCM" and "GSM". The document links the ActiveBuffer to input() and polls is_valid().
//
// checkpoint() is called on the GUI thread on every tick while recording. It only asks: the
// ActiveBuffer's thread, right after its next block, pushes buffered audio into the file and brings
// a WAV header up to date, so a process that is killed leaves a file that plays up to a moment
// before the end. About once a second the checkpoint is durable: the file's data is synced too
// (and, the first time, its folder), so a power cut loses at most a second or two.
#include <memory>
#include <string>

class AudioConsumer;

class RecordingWriter {
public:
    virtual ~RecordingWriter() = default;
    // append: add after what the file holds (a tag, or an earlier recording). Null for an unknown
    // codec.
    static std::unique_ptr<RecordingWriter> create(const std::u16string& path, const std::u16string& codec,
                                                   int32_t bit_rate, bool append);

    virtual AudioConsumer& input() = 0;
    virtual bool is_valid() const = 0;
    // durable: sync the data to the storage medium as well.
    virtual void checkpoint(bool durable) = 0;
};
