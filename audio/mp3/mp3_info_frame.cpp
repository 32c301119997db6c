#include "audio/mp3/mp3_info_frame.h"

#include <algorithm>
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

constexpr size_t kXingBytes = 4 + 4 + 4 + 4 + 100 + 4;  // tag, flags, frames, bytes, table, quality

constexpr int kKbps1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int kKbps2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
constexpr int kRates[4] = {44100, 48000, 32000, 0};

struct Layout {
    bool mpeg1 = false;
    int rate = 0;
    size_t side_info = 0;
};

bool layout_of(const std::array<uint8_t, 4>& h, Layout& out) {
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1) return false;
    const int version = (h[1] >> 3) & 3;
    if (version == 1 || kRates[(h[2] >> 2) & 3] == 0) return false;
    out.mpeg1 = version == 3;
    out.rate = kRates[(h[2] >> 2) & 3] >> (version == 3 ? 0 : version == 2 ? 1 : 2);
    const bool mono = (h[3] >> 6) == 3;
    out.side_info = out.mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17);
    return true;
}

size_t frame_bytes(const Layout& layout, int index, int padding) {
    const int* kbps_table = layout.mpeg1 ? kKbps1 : kKbps2;
    const int kbps = kbps_table[index];
    return static_cast<size_t>((layout.mpeg1 ? 144 : 72) * kbps * 1000 / layout.rate + padding);
}

size_t needed_bytes(const Layout& layout) { return 4 + layout.side_info + kXingBytes + kLameBytes; }

}  // namespace

uint16_t crc16(uint16_t crc, const uint8_t* data, size_t size) {
    // Polynomial 0x8005, reflected.
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    return crc;
}

bool frame_holds_tag(const std::array<uint8_t, 4>& header) {
    Layout layout;
    if (!layout_of(header, layout)) return false;
    const int index = header[2] >> 4;
    if (index == 0 || index == 15) return false;
    return frame_bytes(layout, index, 0) >= needed_bytes(layout);
}

std::vector<uint8_t> make_frame(const StreamFacts& facts) {
    Layout layout;
    if (!layout_of(facts.audio_header, layout)) return {};
    int index = 1;
    while (index < 15 && frame_bytes(layout, index, 0) < needed_bytes(layout)) ++index;
    if (index == 15) return {};
    std::vector<uint8_t> frame(frame_bytes(layout, index, 0), 0);
    frame[0] = facts.audio_header[0];
    frame[1] = facts.audio_header[1];
    frame[2] = static_cast<uint8_t>((index << 4) | (facts.audio_header[2] & 0x0D));  // no padding bit
    frame[3] = facts.audio_header[3];
    if (facts.frames == 0) return frame;  // the placeholder: a frame of silence until the end

    uint8_t* p = frame.data() + 4 + layout.side_info;
    // This frame has a larger bit rate than the audio behind it. Readers that see "Info" take the
    // stream for constant-rate and compute its length from the first frame's bit rate, which is
    // this one's; "Xing" makes them count the frames instead. No seek table: the audio behind is
    // constant-rate, so seeking in proportion to its bytes is exact, where a table of 256ths is not.
    std::memcpy(p, "Xing", 4);
    put32(p + 4, kHasFrames | kHasBytes | kHasQuality);
    put32(p + 8, facts.frames);
    put32(p + 12, facts.bytes);
    // The table's 100 bytes stay zero, unused, so the frame keeps the length of its placeholder.
    put32(p + 16, 0);
    uint8_t* ext = p + 20;
    std::memcpy(ext, facts.encoder.data(), std::min<size_t>(9, facts.encoder.size()));
    // Tag revision 0, method "ABR": the stream's frames do not all have one bit rate (this one is
    // larger), but its audio averages exactly the rate below. Players that read "CBR" here ignore
    // the frame count and show no length at all.
    ext[9] = 2;
    ext[10] = static_cast<uint8_t>(std::min(facts.lowpass_hz / 100, 255));
    const int* kbps_table = layout.mpeg1 ? kKbps1 : kKbps2;
    const int kbps = kbps_table[facts.audio_header[2] >> 4];
    ext[20] = static_cast<uint8_t>(std::min(kbps, 255));
    const int delay = std::clamp(facts.delay, 0, 0xFFF);
    const int padding = std::clamp(facts.padding, 0, 0xFFF);
    ext[21] = static_cast<uint8_t>(delay >> 4);
    ext[22] = static_cast<uint8_t>(((delay & 0x0F) << 4) | (padding >> 8));
    ext[23] = static_cast<uint8_t>(padding & 0xFF);
    put32(ext + 28, facts.bytes);
    ext[32] = static_cast<uint8_t>(facts.music_crc >> 8);
    ext[33] = static_cast<uint8_t>(facts.music_crc & 0xFF);
    const uint16_t crc = crc16(0, frame.data(), static_cast<size_t>(ext + 34 - frame.data()));
    ext[34] = static_cast<uint8_t>(crc >> 8);
    ext[35] = static_cast<uint8_t>(crc & 0xFF);
    return frame;
}

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
    const uint16_t crc = crc16(0, frame.data(), lame + 34);
    ext[34] = static_cast<uint8_t>(crc >> 8);
    ext[35] = static_cast<uint8_t>(crc & 0xFF);
    return true;
}

}  // namespace mp3_info
