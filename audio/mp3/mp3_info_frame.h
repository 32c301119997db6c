#pragma once
// LAME's info frame: the first frame of a stream, carrying "Info" (or "Xing"), the stream's frame
// and byte counts, and LAME's extension with the encoder delay, the end padding and a CRC of the
// whole tag. Decoders use it for the exact length and to drop the delay and padding.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace mp3_info {

// What an info frame of our own says about a finished constant-bit-rate stream.
struct StreamFacts {
    std::array<uint8_t, 4> audio_header{};  // a header of the stream's audio frames
    uint32_t frames = 0;                    // audio frames after the info frame
    uint32_t bytes = 0;                     // the whole stream, info frame included
    int delay = 0;                          // samples before the signal
    int padding = 0;                        // samples after its end
    int lowpass_hz = 0;
    uint16_t music_crc = 0;  // CRC-16 of the audio frames
    std::string encoder;     // nine characters, e.g. "LAME3.100"
};

// An info frame for a stream whose own frames are too small to hold one (LAME then writes none):
// a frame of the same version, rate and mode at the smallest bit rate that holds the Xing tag and
// LAME's extension. Its length depends only on the audio header, so the zero-filled placeholder
// (all facts but audio_header left empty) and the final frame take the same bytes. Empty when no
// bit rate is large enough. Its tag is "Xing" (not "Info"), as its own bit rate is not the stream's.
std::vector<uint8_t> make_frame(const StreamFacts& facts);
// Whether a frame of this header can hold the info tag itself.
bool frame_holds_tag(const std::array<uint8_t, 4>& header);
// The CRC LAME puts over its tag and over the music, continued over more bytes.
uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size);

// Offset of "Info" or "Xing" within the frame; 0 when the frame is not an info frame.
size_t find_tag(std::span<const uint8_t> frame);

// Makes an existing stream's info frame cover frames and bytes appended after it, with the end
// padding of the appended part. False when the frame is not an info frame we can update.
bool extend(std::span<uint8_t> frame, uint32_t extra_frames, uint32_t extra_bytes, int end_padding);

}  // namespace mp3_info
