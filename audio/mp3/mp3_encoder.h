#pragma once
// The MP3 encoder node: 16-bit PCM blocks in, blocks of MP3 frames out (to FileWriterMP3). The LAME
// handle is made on the first block, for that block's channels and rate at the configured constant
// bit rate, and made again whenever the format changes.
//
// Runs on the ActiveBuffer's thread under the node's lock. finish() (or destruction) flushes the
// frames LAME still holds and feeds them downstream: the last fraction of a second of every
// recording lives there, so the writer must still be linked when it runs.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_node.h"

class Mp3Encoder : public AudioFilter {
public:
    static constexpr int kScratchBytes = 2500;

    // Bit rate in bit/s (32000, 64000, 96000 for the recording formats).
    explicit Mp3Encoder(int32_t bit_rate);
    ~Mp3Encoder() override;

    void on_data(const AudioBlock& block) override;
    // Flushes the encoder into the downstream writer and drops the handle; the next block starts a
    // new stream. Call before unlinking the writer.
    void finish();

    int32_t bit_rate() const { return m_bit_rate; }
    // Whether each new stream starts with LAME's info frame (frame count, encoder delay and
    // padding, so decoders give back exactly the recorded samples). Its content is only known at
    // the end: finish() leaves it in info_frame() for the owner to write over the placeholder.
    void set_info_frame(bool on) { m_write_info = on; }
    const std::vector<uint8_t>& info_frame() const { return m_info_frame; }
    // LAME handles made so far: more than one when the format changed during the recording.
    int streams() const { return m_streams; }
    // End padding (samples) of the last finished stream.
    int end_padding() const { return m_end_padding; }
    // MP3 frames fed downstream so far.
    int64_t frames_encoded() const { return m_frames_encoded; }
    // MP3 bytes fed downstream so far, flushes included. Blocks fed downstream always hold whole
    // frames.
    int64_t bytes_encoded() const { return m_bytes_encoded; }

protected:
    // Pull direction is not used for encoding: the encoder has to see every block in order.
    AudioBlock transform(const AudioBlock& block) override { return block; }

private:
    bool create_handle(int channels, int rate);
    void drop_handle();
    void encode_frame();
    void encode_samples(int samples);
    void emit(const uint8_t* bytes, int count);
    void emit_pending(size_t count);
    // Our own info frame's placeholder, when LAME will not write one for this stream.
    void start_own_info();
    void finish_own_info();

    // The LAME handle of the current stream; the library's types stay in mp3_encoder.cpp.
    class LameStream;

    int32_t m_bit_rate;
    std::unique_ptr<LameStream> m_lame;
    int m_channels = 0;
    int m_rate = 0;
    int m_frame_size = 0;  // samples per channel in one MP3 frame
    std::vector<int16_t> m_accumulator;
    size_t m_fill = 0;  // samples (all channels) in the accumulator
    std::vector<int16_t> m_left;
    std::vector<int16_t> m_right;
    std::array<uint8_t, kScratchBytes> m_scratch{};
    std::vector<uint8_t> m_pending;  // encoded bytes not yet making up a whole frame
    int64_t m_bytes_encoded = 0;
    int64_t m_frames_encoded = 0;
    bool m_write_info = false;
    std::vector<uint8_t> m_info_frame;
    int m_streams = 0;
    int m_end_padding = 0;
    // Where LAME's frames are too small for its info frame it writes none; we write our own then.
    bool m_own_info = false;
    size_t m_own_info_bytes = 0;
    std::array<uint8_t, 4> m_audio_header{};
    int64_t m_stream_frames = 0;
    int64_t m_stream_bytes = 0;
    uint16_t m_music_crc = 0;
};
