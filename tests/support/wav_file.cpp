#include "tests/support/wav_file.h"

#include <cmath>
#include <fstream>

namespace test_support {
namespace {

void put_u32(std::string& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out += static_cast<char>(v >> (8 * i));
}

void put_u16(std::string& out, uint16_t v) {
    out += static_cast<char>(v);
    out += static_cast<char>(v >> 8);
}

}  // namespace

std::string wav_bytes(int channels, int rate, int bits, std::string_view data, uint16_t format_tag) {
    const int block_align = channels * bits / 8;
    std::string out = "RIFF";
    put_u32(out, static_cast<uint32_t>(36 + data.size()));
    out += "WAVEfmt ";
    put_u32(out, 16);
    put_u16(out, format_tag);
    put_u16(out, static_cast<uint16_t>(channels));
    put_u32(out, static_cast<uint32_t>(rate));
    put_u32(out, static_cast<uint32_t>(rate * block_align));
    put_u16(out, static_cast<uint16_t>(block_align));
    put_u16(out, static_cast<uint16_t>(bits));
    out += "data";
    put_u32(out, static_cast<uint32_t>(data.size()));
    out += data;
    return out;
}

std::string pcm16_bytes(const std::vector<int16_t>& samples) {
    std::string out;
    out.reserve(samples.size() * 2);
    for (int16_t sample : samples) put_u16(out, static_cast<uint16_t>(sample));
    return out;
}

bool write_wav(const std::string& path, int channels, int rate, int bits, std::string_view data, uint16_t format_tag) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << wav_bytes(channels, rate, bits, data, format_tag);
    return static_cast<bool>(out.flush());
}

bool write_tone(const std::string& path, int rate, double seconds, double hz, double amplitude) {
    const auto frames = static_cast<uint32_t>(rate * seconds);
    std::vector<int16_t> samples(frames);
    for (uint32_t i = 0; i < frames; ++i) {
        samples[i] = static_cast<int16_t>(amplitude * std::sin(2 * M_PI * hz * i / rate));
    }
    return write_wav(path, 1, rate, 16, pcm16_bytes(samples));
}

}  // namespace test_support
