#pragma once
// One MPEG audio frame header (4 bytes, big-endian), as the MP3 reader and the decoder node parse it.
#include <cstdint>

struct Mp3FrameHeader {
    enum class Version { mpeg1, mpeg2, mpeg25 };

    Version version = Version::mpeg1;
    int layer = 0;     // 1, 2 or 3
    int bit_rate = 0;  // kbit/s
    int rate = 0;      // samples per second
    int padding = 0;
    int channel_mode = 0;
    int channels = 0;
    int frame_bytes = 0;
    int samples = 0;  // per channel

    // Parses the four bytes; false for free format, reserved indices or a broken sync word.
    bool parse(const std::uint8_t* bytes);
    // Same version, layer, rate, samples per frame and channel count: frames of one stream.
    bool matches(const Mp3FrameHeader& other) const;
};
