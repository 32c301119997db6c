#include "audio/mp3/mp3_info_frame.h"

#include <cstring>

namespace mp3_info {
namespace {

constexpr uint32_t kHasFrames = 1;
constexpr uint32_t kHasBytes = 2;
constexpr uint32_t kHasToc = 4;
constexpr uint32_t kHasQuality = 8;
constexpr size_t kLameBytes = 36;

uint32_t get32(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

void put32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

// The CRC-16 LAME puts over its tag (polynomial 0x8005, reflected, starting from 0).
uint16_t crc16(const uint8_t* data, size_t size) {
    uint16_t crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

}  // namespace

size_t find_tag(std::span<const uint8_t> frame) {
    // The tag follows the side information: 9 to 32 bytes after the 4-byte header.
    for (size_t at = 4 + 9; at <= 4 + 32 && at + 8 <= frame.size(); ++at) {
        if (std::memcmp(frame.data() + at, "Info", 4) == 0 || std::memcmp(frame.data() + at, "Xing", 4) == 0) return at;
    }
    return 0;
}

bool extend(std::span<uint8_t> frame, uint32_t extra_frames, uint32_t extra_bytes, int end_padding) {
    const size_t tag = find_tag(frame);
    if (tag == 0) return false;
    uint8_t* p = frame.data() + tag + 4;
    const uint32_t flags = get32(p);
    p += 4;
    if ((flags & kHasFrames) == 0 || (flags & kHasBytes) == 0) return false;
    const size_t lame = tag + 8 + 8 + ((flags & kHasToc) ? 100 : 0) + ((flags & kHasQuality) ? 4 : 0);
    if (lame + kLameBytes > frame.size() || std::memcmp(frame.data() + lame, "LAME", 4) != 0) return false;

    put32(p, get32(p) + extra_frames);
    put32(p + 4, get32(p + 4) + extra_bytes);
    uint8_t* ext = frame.data() + lame;
    // 12 bits of delay, then 12 bits of padding.
    const int padding = end_padding < 0 ? 0 : end_padding > 0xFFF ? 0xFFF : end_padding;
    ext[22] = static_cast<uint8_t>((ext[22] & 0xF0) | (padding >> 8));
    ext[23] = static_cast<uint8_t>(padding & 0xFF);
    put32(ext + 28, get32(ext + 28) + extra_bytes);
    const uint16_t crc = crc16(frame.data(), lame + 34);
    ext[34] = static_cast<uint8_t>(crc >> 8);
    ext[35] = static_cast<uint8_t>(crc & 0xFF);
    return true;
}

}  // namespace mp3_info
