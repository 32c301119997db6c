#pragma once
// Turns stored WAV samples of any encoding WavStreamFormat knows into the player's 16-bit samples,
// with more than two channels mixed down to stereo. Each sample is first widened to a 32-bit
// full-scale value, then rounded to 16 bits (halves upwards, clipped), so 24-bit and float files
// play exactly as sox converts them without dither.
#include <cstddef>
#include <cstdint>

#include "audio/wav/wav_stream_format.h"

namespace wav_samples {

// Channels the player gets: the stored ones, at most two.
int playback_channels(const WavStreamFormat& format);

// A stored sample as a signed 32-bit full-scale value.
std::int32_t widen(const WavStreamFormat& format, const std::uint8_t* sample);
// A full-scale value rounded to 16 bits.
std::int16_t narrow(std::int64_t full_scale);

// G.711 expansions to 16 bits.
std::int16_t mulaw_to_linear(std::uint8_t code);
std::int16_t alaw_to_linear(std::uint8_t code);

// Converts `frames` stored frames into playback_channels() 16-bit samples per frame. With more
// than two channels, even-numbered channels (left, centre-left, rear left...) are averaged into
// the left output and odd-numbered ones into the right; an odd last channel (centre in a 3.0
// layout) goes to both.
void convert(const WavStreamFormat& format, const std::uint8_t* stored, std::size_t frames, std::int16_t* out);

}  // namespace wav_samples
