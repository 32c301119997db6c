#pragma once
// The MP3 stream reader: splits a file into MPEG audio frames, one frame per pull, for the decoder
// node behind it. Leading data (an ID3v2 tag, junk) is skipped by a search that only trusts a frame
// header when the header one frame length further on belongs to the same stream.
//
// Threads: get_data runs on the player's thread; the StreamInfo queries and seek may come from the
// GUI thread. One lock guards the buffer and the file for both.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>

#include "audio/audio_node.h"
#include "audio/mp3/mp3_frame_header.h"
#include "audio/readers/input_file.h"
#include "audio/readers/stream_reader.h"

class FileReaderMP3 : public StreamReader {
public:
    static constexpr int buffer_bytes = 10000;
    // The buffer is topped up whenever fewer unread bytes than this remain: more than any frame.
    static constexpr int refill_threshold = 2000;
    static constexpr std::int64_t bit_rate_spacing = 100000;
    static constexpr int max_bit_rate_points = 20;
    // Bytes after a frame handed out with it: the next header and side information.
    static constexpr int lookahead_bytes = 64;

    explicit FileReaderMP3(const std::u16string& path);

    // One whole MPEG frame (the request is ignored) followed by up to lookahead_bytes of what comes
    // after it; format {channels, 0, rate}: coded bytes, not samples. The empty block at the end of the data or once the reader is invalid.
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override;
    int bits() const override { return 16; }
    int rate() const override;
    int bit_rate() const override;
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_file.size(); }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override;

    // The stream's reference header (the first frame's).
    Mp3FrameHeader first_header() const;
    std::int64_t first_frame_offset() const { return m_first_frame_offset; }
    int average_kbps() const { return m_average_kbps; }
    // Points beyond the first frame at which the bit rate was sampled.
    int bit_rate_points() const { return m_bit_rate_points; }

private:
    // Tops up the buffer so at least `needed` unread bytes are there, unless the file has no more.
    void read_more(int needed = refill_threshold);
    // Finds the next frame at or after the read index. With a reference it must match it; when
    // `confirm` the header one frame further on must match too (or the frame must end the file).
    // The scan gives up (without reaching the end) once it passes stop_at.
    bool find_frame(const Mp3FrameHeader* reference, bool confirm, Mp3FrameHeader& found,
                    std::int64_t stop_at = INT64_MAX);
    void seek_locked(std::int64_t position);
    void sample_bit_rate();
    std::int64_t position_locked() const { return m_bytes_read - (m_fill - m_index); }

    mutable std::mutex m_lock;
    InputFile m_file;
    bool m_valid = false;
    bool m_at_end = false;
    // False after a seek: the next frame found must then be confirmed by its successor.
    bool m_in_sync = false;
    std::int64_t m_bytes_read = 0;
    std::array<std::uint8_t, buffer_bytes> m_buffer{};
    int m_fill = 0;
    int m_index = 0;
    Mp3FrameHeader m_first;
    std::int64_t m_first_frame_offset = 0;
    int m_average_kbps = 0;
    int m_bit_rate_points = 0;
};
