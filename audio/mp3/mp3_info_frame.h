#pragma once
// LAME's info frame: the first frame of a stream, carrying "Info" (or "Xing"), the stream's frame
// and byte counts, and LAME's extension with the encoder delay, the end padding and a CRC of the
// whole tag. Decoders use it for the exact length and to drop the delay and padding.
#include <cstddef>
#include <cstdint>
#include <span>

namespace mp3_info {

// Offset of "Info" or "Xing" within the frame; 0 when the frame is not an info frame.
size_t find_tag(std::span<const uint8_t> frame);

// Makes an existing stream's info frame cover frames and bytes appended after it, with the end
// padding of the appended part. False when the frame is not an info frame we can update.
bool extend(std::span<uint8_t> frame, uint32_t extra_frames, uint32_t extra_bytes, int end_padding);

}  // namespace mp3_info
