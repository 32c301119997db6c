#include "audio/mp3/mp3_frame_header.h"

namespace {

// kbit/s by bit-rate index: MPEG-1 layers I, II, III, then MPEG-2/2.5 layer I and layers II/III.
constexpr int bit_rates[5][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};

constexpr int mpeg1_rates[3] = {44100, 48000, 32000};

}  // namespace

bool Mp3FrameHeader::parse(const std::uint8_t* b) {
    if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return false;
    const int version_bits = (b[1] >> 3) & 3;
    const int layer_bits = (b[1] >> 1) & 3;
    const int bit_rate_index = (b[2] >> 4) & 15;
    const int rate_index = (b[2] >> 2) & 3;
    if (version_bits == 1 || layer_bits == 0 || bit_rate_index == 0 || bit_rate_index == 15 || rate_index == 3) {
        return false;
    }
    version = version_bits == 3 ? Version::mpeg1 : version_bits == 2 ? Version::mpeg2 : Version::mpeg25;
    layer = 4 - layer_bits;
    const int table = version == Version::mpeg1 ? layer - 1 : (layer == 1 ? 3 : 4);
    bit_rate = bit_rates[table][bit_rate_index];
    rate = mpeg1_rates[rate_index] >> (version == Version::mpeg1 ? 0 : version == Version::mpeg2 ? 1 : 2);
    padding = (b[2] >> 1) & 1;
    channel_mode = (b[3] >> 6) & 3;
    channels = channel_mode == 3 ? 1 : 2;
    if (layer == 1) {
        frame_bytes = (12000 * bit_rate / rate + padding) * 4;
        samples = 384;
    } else if (layer == 2 || version == Version::mpeg1) {
        frame_bytes = 144000 * bit_rate / rate + padding;
        samples = 1152;
    } else {
        frame_bytes = 72000 * bit_rate / rate + padding;
        samples = 576;
    }
    return true;
}

bool Mp3FrameHeader::matches(const Mp3FrameHeader& other) const {
    return version == other.version && layer == other.layer && rate == other.rate && samples == other.samples &&
           channels == other.channels;
}
