#pragma once
// The PCM WAV stream reader: plays the uncompressed WAV files of every program (see
// WavStreamFormat). 8- and 16-bit mono and stereo samples go out as they are stored; anything
// else (24/32-bit, float, µ-law, A-law, more than two channels) is converted to 16-bit stereo or
// mono on the way (wav_samples). Positions are bytes of the stored sample data (0 at the first
// data byte), whatever goes out.
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/stream/input_file.h"
#include "audio/stream/stream_reader.h"
#include "audio/wav/wav_header.h"
#include "audio/wav/wav_stream_format.h"

class WavReaderPCM : public StreamReader {
public:
    explicit WavReaderPCM(const std::u16string& path);

    // Up to the requested frames, fewer at the end of the data. A short read makes the reader
    // invalid and gives the empty block.
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    // What the player gets.
    int channels() const override { return m_format.channels; }
    int bits() const override { return m_format.bits; }
    int rate() const override { return m_format.rate; }
    // Of the stored samples.
    int bit_rate() const override { return m_stored.rate * m_stored.block_align * 8; }
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_data_size; }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override;

    // How the file stores its samples.
    const WavStreamFormat& stored_format() const { return m_stored; }
    // The header fields as our writers see them (data start and size cut to 32 bits for RF64).
    const WavHeader& header() const { return m_header; }

private:
    mutable std::mutex m_lock;
    InputFile m_file;
    WavStreamFormat m_stored;
    WavHeader m_header;
    AudioFormat m_format;
    bool m_converting = false;
    std::vector<std::uint8_t> m_stored_bytes;
    bool m_valid = false;
    std::int64_t m_data_size = 0;
    std::int64_t m_position = 0;
};
