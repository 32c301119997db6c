#pragma once
// The WAV writer node: the last node of a PCM, ADPCM or GSM recording chain. Its transform writes
// each block to the file and hands the block on unchanged.
//
// A new file is created when the first block arrives, so a recording that never gets audio
// leaves no file. With `continue_file` the existing file is opened at construction; unless it is
// a valid WAV of the codec the writer stays invalid and the file is not touched at all.
//
// Threads: blocks arrive on the ActiveBuffer's thread under the node's lock; is_valid,
// frames_written and bit_rate may be read from any thread. Destruction (on the controlling
// thread, after the chain is unlinked) writes the final header.
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "audio/audio_node.h"
#include "audio/wav/wav_header.h"
#include "os/file.h"

class WavFileWriter : public AudioFilter {
public:
    WavFileWriter(std::u16string path, bool continue_file, WavCodec codec);
    ~WavFileWriter() override;

    bool is_valid() const { return m_valid.load(); }
    // Average bytes per second × 8, once the format is known.
    int32_t bit_rate() const { return m_bit_rate.load(); }
    // Sample frames in the file: PCM frames, or codec blocks × samples per block.
    int64_t frames_written() const { return m_frames_written.load(); }
    WavCodec codec() const { return m_codec; }
    // Makes the header tell how much audio the file holds now, so a recording that is cut off
    // (the process killed) stays playable up to this moment. Any thread; takes the node's lock.
    void update_header();
    // update_header, then makes the file's data durable. Slow on a slow card: for the thread that
    // writes (the ActiveBuffer's), never the capture thread.
    bool sync();
    // The last codec block ends in this many frames of padding: the "fact" count leaves them out.
    void leave_out_of_count(int64_t frames);

protected:
    AudioBlock transform(const AudioBlock& block) override;

private:
    bool open_existing();
    bool create_for(const AudioBlock& block);
    bool matches(const AudioBlock& block) const;
    void write(const AudioBlock& block);
    void fail();

    std::u16string m_path;
    WavCodec m_codec;
    WavHeader m_header;
    os::File m_file;
    std::atomic<bool> m_valid{true};
    std::atomic<int32_t> m_bit_rate{0};
    std::atomic<int64_t> m_frames_written{0};
    // The chunks that followed the data of a file being continued: they go back after it at the end.
    std::vector<uint8_t> m_chunks_after;
};
