#pragma once
// The PCM WAV stream reader: hands out the file's samples as they are. Positions are bytes of the
// sample data (0 at the first data byte).
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <mutex>
#include <string>

#include "audio/readers/input_file.h"
#include "audio/readers/stream_reader.h"
#include "audio/wav/wav_header.h"

class WavReaderPCM : public StreamReader {
public:
    explicit WavReaderPCM(const std::u16string& path);

    // Up to the requested frames, fewer at the end of the data. A short read makes the reader
    // invalid and gives the empty block.
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override { return m_format.channels; }
    int bits() const override { return m_format.bits; }
    int rate() const override { return m_format.rate; }
    int bit_rate() const override { return m_format.bit_rate(); }
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_data_size; }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override;

    const WavHeader& header() const { return m_header; }

private:
    mutable std::mutex m_lock;
    InputFile m_file;
    WavHeader m_header;
    AudioFormat m_format;
    bool m_valid = false;
    std::int64_t m_data_size = 0;
    std::int64_t m_position = 0;
};
