#pragma once
// Ogg Vorbis over Tremor, the integer decoder. Positions are sample frames of what is played.
//
// A chained file (links appended one after another, as streaming recorders write them) plays
// whole in one format: the most channels and the highest rate of its links. A mono link in a
// stereo file goes to both sides, and a link at a lower rate is interpolated up (linearly), so
// every link keeps its own length in time.
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/stream/input_file.h"
#include "audio/stream/stream_reader.h"

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
    struct Link {
        int channels = 0;
        int rate = 0;
        std::int64_t pcm_start = 0;   // the link's first sample in the library's count
        std::int64_t pcm_frames = 0;  // its own sample frames
        std::int64_t out_start = 0;   // its first frame of what is played
        std::int64_t out_frames = 0;
    };
    // The link's frames converted to the output format; `link` as ov_read reported it.
    AudioBlock convert(const std::int16_t* in, std::int64_t frames, const Link& link);
    void reset_conversion();

    mutable std::mutex m_lock;
    InputFile m_file;
    std::unique_ptr<Decoder> m_decoder;  // null unless the library accepted the stream
    int m_channels = 0;
    int m_rate = 0;
    int m_bit_rate = 0;
    std::int64_t m_total_frames = 0;
    bool m_failed = false;
    std::vector<Link> m_links;
    std::int64_t m_position = 0;
    // The library has given its last sample.
    bool m_ended = false;
    // Conversion state across pulls: the link it belongs to, the last input frame (left, right)
    // and where the next output frame lies in input frames after it.
    int m_conversion_link = -1;
    std::int32_t m_last[2] = {0, 0};
    double m_phase = 0.0;
    std::vector<std::int16_t> m_input;
};
