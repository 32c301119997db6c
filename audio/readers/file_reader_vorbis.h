#pragma once
// Ogg Vorbis over Tremor, the integer decoder. Positions are decoded sample frames.
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "audio/readers/input_file.h"
#include "audio/readers/stream_reader.h"

class FileReaderVorbis : public StreamReader {
public:
    // Larger requests are cut to this many frames.
    static constexpr int max_frames_per_pull = 8192;

    explicit FileReaderVorbis(const std::u16string& path);
    ~FileReaderVorbis() override;

    // Up to min(requested, 8,192) frames of 16-bit interleaved PCM; the library may give fewer.
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override { return m_channels; }
    int bits() const override { return 16; }
    int rate() const override { return m_rate; }
    int bit_rate() const override { return m_bit_rate; }
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_total_frames; }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override { return position; }

private:
    struct Decoder;
    mutable std::mutex m_lock;
    InputFile m_file;
    std::unique_ptr<Decoder> m_decoder;  // null unless the library accepted the stream
    int m_channels = 0;
    int m_rate = 0;
    int m_bit_rate = 0;
    std::int64_t m_total_frames = 0;
    bool m_failed = false;
};
