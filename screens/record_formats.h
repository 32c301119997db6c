#pragma once
// The texts the recording and playback screens show for times, sizes and audio formats.
#include <cstdint>
#include <string>

namespace screens {

// Whole seconds as "H:MM:SS" (0:03:07), or "N h" from ten hours on, where the clock would not fit.
std::u16string duration_text(double seconds);
// Bytes as "1023B", "1K" (whole kibibytes) or, above 1,048,575, "1.0M" (the decimal truncated).
std::u16string size_text(uint64_t bytes);
// "8kHz 16bit", and " 32kbps" after it when the format has a bit rate (bits per second).
std::u16string format_text(int32_t sample_rate, int32_t bits_per_sample, int32_t bit_rate);

}  // namespace screens
