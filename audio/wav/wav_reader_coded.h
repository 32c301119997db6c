#pragma once
// The part that the ADPCM and GSM WAV readers share: the data is a run of codec blocks of
// block_align bytes, each decoding to samples_per_block frames of 16-bit PCM. Pulls return exactly
// the requested frames (fewer at the end): whole blocks are read and decoded until there are
// enough, and the frames beyond the request are held for the next pull. Positions are bytes of the
// sample data; seeking moves to the start of the block that holds the position.
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/stream/input_file.h"
#include "audio/stream/stream_reader.h"
#include "audio/wav/wav_header.h"

class WavReaderCoded : public StreamReader {
public:
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override { return m_format.channels; }
    int bits() const override { return 16; }
    int rate() const override { return m_format.rate; }
    int bit_rate() const override;
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_blocks * m_block_align; }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override;

    const WavHeader& header() const { return m_header; }

protected:
    WavReaderCoded(const std::u16string& path, WavCodec codec);
    // Called by the codec's constructor once it has checked the header: the stream becomes valid.
    void accept(int channels, int block_align, int samples_per_block);
    // Decodes one block of block_align bytes into samples_per_block interleaved frames.
    virtual bool decode(const std::uint8_t* block, std::int16_t* pcm) = 0;
    // Forgets decoder state carried from block to block, after a seek.
    virtual void restart() {}

    InputFile m_file;
    WavHeader m_header;
    bool m_header_read = false;

private:
    mutable std::mutex m_lock;
    AudioFormat m_format;
    bool m_valid = false;
    int m_block_align = 0;
    int m_samples_per_block = 0;
    std::int64_t m_blocks = 0;      // whole blocks in the data
    std::int64_t m_next_block = 0;  // the next block to read
    std::vector<std::uint8_t> m_coded;
    // Decoded frames not yet handed out; they belong to the block before m_next_block.
    AudioBlock m_pending;
};
