#pragma once
// Canonical WAV files (a 44-byte header before the data) written byte by byte, so a test does not
// depend on the writer it may be testing.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

std::string wav_bytes(int channels, int rate, int bits, std::string_view data, uint16_t format_tag = 1);
inline std::string wav_bytes(int channels, int rate, int bits, const std::vector<uint8_t>& data,
                             uint16_t format_tag = 1) {
    const std::string_view bytes(reinterpret_cast<const char*>(data.data()), data.size());
    return wav_bytes(channels, rate, bits, bytes, format_tag);
}
// 16-bit little-endian bytes of the samples.
std::string pcm16_bytes(const std::vector<int16_t>& samples);

// False when the file could not be written.
bool write_wav(const std::string& path, int channels, int rate, int bits, std::string_view data,
               uint16_t format_tag = 1);
// A mono 16-bit PCM WAV holding a sine tone.
bool write_tone(const std::string& path, int rate, double seconds, double hz = 440.0, double amplitude = 8000);

}  // namespace test_support
