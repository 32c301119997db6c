#pragma once
// The MP3 stream reader: splits a file into MPEG audio frames, one frame per pull, for the decoder
// node behind it. Leading data (an ID3v2 tag, junk) is skipped by a search that only trusts a frame
// header when the header one frame length further on belongs to the same stream; trailing ID3v1
// and APE tags are cut off before the search ever sees them.
//
// Length and positions count decoded sample frames of what is played, so time is position / rate
// and a fraction of length() is that fraction of the playing time. When the first frame is a
// Xing / Info or VBRI frame, it is not played: its frame count gives the length and its table the
// seek positions, and the encoder delay and end padding of LAME's extension are trimmed off by the
// decoder (last_frame_span), so a file plays back exactly the samples that were encoded. Without
// such a frame the bit rate is sampled at up to twenty points: when it is the same everywhere the
// length follows from the audio bytes; when it varies, or the file is too small to sample, the
// frames are counted by walking from header to header once, and the index of their starts makes
// lengths and seeks exact.
//
// Threads: get_data runs on the player's thread; the StreamInfo queries and seek may come from the
// GUI thread. One lock guards the buffer and the file for both.
#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_node.h"
#include "audio/mp3/mp3_frame_header.h"
#include "audio/mp3/mp3_stream_header.h"
#include "audio/stream/input_file.h"
#include "audio/stream/stream_reader.h"

class FileReaderMP3 : public StreamReader {
public:
    static constexpr int buffer_bytes = 10000;
    // The buffer is topped up whenever fewer unread bytes than this remain: more than any frame.
    static constexpr int refill_threshold = 2000;
    static constexpr std::int64_t bit_rate_spacing = 100000;
    static constexpr int max_bit_rate_points = 20;
    // Bytes after a frame handed out with it: the next header and side information.
    static constexpr int lookahead_bytes = 64;
    // Layer III decoders put out this many samples of their own filter delay before the signal.
    static constexpr int decoder_delay = 529;

    // Which samples of a decoded frame belong to the recording: drop `skip` at the front, then
    // keep at most `keep`.
    struct FrameSpan {
        int skip = 0;
        int keep = 1 << 30;
    };

    explicit FileReaderMP3(const std::u16string& path);

    // One whole MPEG frame (the request is ignored) followed by up to lookahead_bytes of what comes
    // after it; format {channels, 0, rate}: coded bytes, not samples. The empty block at the end of
    // the data or once the reader is invalid.
    AudioBlock get_data(int requested_frames) override;
    // The span of the frame the last get_data handed out.
    FrameSpan last_frame_span() const;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override;
    int bits() const override { return 16; }
    int rate() const override;
    int bit_rate() const override;
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_total_samples; }
    // Moves to the frame that holds the sample; through the seek table when there is one.
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override { return position; }

    // The stream's reference header (the first frame's).
    Mp3FrameHeader first_header() const;
    std::int64_t first_frame_offset() const { return m_first_frame_offset; }
    // Where the played frames begin (after a Xing / Info / VBRI frame) and end (before the tags).
    std::int64_t audio_start() const { return m_audio_start; }
    std::int64_t audio_end() const { return m_audio_end; }
    const Mp3StreamHeader& stream_header() const { return m_stream_header; }
    int average_kbps() const { return m_average_kbps; }
    // Points beyond the first frame at which the bit rate was sampled.
    int bit_rate_points() const { return m_bit_rate_points; }
    // Whether the frames were counted one by one (and seeks go by their index).
    bool frames_counted() const { return !m_frame_index.empty(); }

private:
    // Tops up the buffer so at least `needed` unread bytes are there, unless the audio has no more.
    void read_more(int needed = refill_threshold);
    // Finds the next frame at or after the read index. With a reference it must match it; when
    // `confirm` the header one frame further on must match too (or the frame must end the audio).
    // The scan gives up (without reaching the end) once it passes stop_at.
    bool find_frame(const Mp3FrameHeader* reference, bool confirm, Mp3FrameHeader& found,
                    std::int64_t stop_at = INT64_MAX);
    void seek_locked(std::int64_t position);
    // The end of the audio: before an ID3v1 tag and an APE tag, when the file ends with them.
    std::int64_t find_audio_end();
    void read_stream_header();
    void sample_bit_rate();
    // Walks every frame from the audio start and fills m_frame_index; false when it cannot.
    bool scan_frames();
    // Byte offset of the start of an audio frame (counted from audio_start), and the frame whose
    // start lies nearest to a byte offset: through the seek table, else in proportion.
    std::int64_t byte_of_frame(std::int64_t frame) const;
    std::int64_t frame_of_byte(std::int64_t byte) const;
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
    std::int64_t m_audio_start = 0;
    std::int64_t m_audio_end = 0;
    Mp3StreamHeader m_stream_header;
    // Audio frames of the stream (known or estimated) and the played samples.
    std::int64_t m_total_frames = 0;
    std::int64_t m_total_samples = 0;
    // Stream samples before the first played one, and where the played ones end (stream samples).
    std::int64_t m_skip_samples = 0;
    std::int64_t m_end_sample = INT64_MAX;
    // Stream samples from which frames play whole again: past what the stream header counted.
    std::int64_t m_counted_end_sample = INT64_MAX;
    std::int64_t m_next_frame = 0;
    FrameSpan m_last_span;
    int m_average_kbps = 0;
    int m_bit_rate_points = 0;
    bool m_bit_rate_varies = false;
    // Start of every audio frame, in bytes from m_audio_start; empty unless the frames were counted.
    std::vector<std::uint32_t> m_frame_index;
};
