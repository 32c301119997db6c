#include "audio/mp3/mp3_stream_header.h"

#include <cstring>

namespace {

constexpr std::uint32_t has_frames = 1;
constexpr std::uint32_t has_bytes = 2;
constexpr std::uint32_t has_toc = 4;
constexpr std::uint32_t has_quality = 8;
constexpr std::size_t toc_entries = 100;
constexpr std::size_t lame_extension_bytes = 36;

std::uint32_t big_endian(const std::uint8_t* p, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

// Bytes of side information between the header and the main data; the Xing tag starts behind it.
std::size_t side_information_bytes(const Mp3FrameHeader& header) {
    if (header.version == Mp3FrameHeader::Version::mpeg1) return header.channels == 1 ? 17 : 32;
    return header.channels == 1 ? 9 : 17;
}

void read_xing(const std::uint8_t* frame, std::size_t size, std::size_t at, Mp3StreamHeader& out) {
    if (at + 8 > size) return;
    const std::uint32_t flags = big_endian(frame + at + 4, 4);
    std::size_t p = at + 8;
    out.present = true;
    if ((flags & has_frames) != 0) {
        if (p + 4 > size) return;
        out.frames = big_endian(frame + p, 4);
        p += 4;
    }
    if ((flags & has_bytes) != 0) {
        if (p + 4 > size) return;
        out.bytes = big_endian(frame + p, 4);
        p += 4;
    }
    const std::uint8_t* toc = nullptr;
    if ((flags & has_toc) != 0) {
        if (p + toc_entries > size) return;
        toc = frame + p;
        p += toc_entries;
    }
    if ((flags & has_quality) != 0) p += 4;

    // The table gives, for each hundredth of the playing time, the byte position in 256ths of
    // the stream; it needs both counts to mean anything. "Info" marks a constant bit rate, where
    // the bytes themselves are a finer table than this one.
    const bool constant = std::memcmp(frame + at, "Info", 4) == 0;
    if (toc != nullptr && !constant && out.frames > 0 && out.bytes > 0) {
        bool ascending = true;
        for (std::size_t i = 1; i < toc_entries; ++i) ascending = ascending && toc[i] >= toc[i - 1];
        if (ascending) {
            for (std::size_t i = 0; i < toc_entries; ++i) {
                out.seek_table.push_back({out.frames * static_cast<std::int64_t>(i) / 100, out.bytes * toc[i] / 256});
            }
            out.seek_table.push_back({out.frames, out.bytes});
        }
    }

    // LAME's extension (also written by libavcodec): 12 bits of delay, then 12 of padding.
    if (p + lame_extension_bytes > size) return;
    const std::uint8_t* ext = frame + p;
    if (std::memcmp(ext, "LAME", 4) != 0 && std::memcmp(ext, "Lavf", 4) != 0 && std::memcmp(ext, "Lavc", 4) != 0) {
        return;
    }
    out.delay = (ext[21] << 4) | (ext[22] >> 4);
    out.padding = ((ext[22] & 0x0F) << 8) | ext[23];
    out.has_gapless = true;
}

void read_vbri(const std::uint8_t* frame, std::size_t size, std::size_t at, const Mp3FrameHeader& header,
               Mp3StreamHeader& out) {
    constexpr std::size_t fixed_bytes = 26;
    if (at + fixed_bytes > size) return;
    const std::uint8_t* v = frame + at;
    out.present = true;
    out.bytes = big_endian(v + 10, 4);
    out.frames = big_endian(v + 14, 4);
    const std::uint32_t entries = big_endian(v + 18, 2);
    const std::uint32_t scale = big_endian(v + 20, 2);
    const std::uint32_t entry_bytes = big_endian(v + 22, 2);
    const std::uint32_t frames_per_entry = big_endian(v + 24, 2);
    if (entries == 0 || entry_bytes < 1 || entry_bytes > 4 || frames_per_entry == 0 ||
        at + fixed_bytes + std::size_t(entries) * entry_bytes > size) {
        return;
    }
    // Each entry is the size of the next run of frames; the runs follow this frame.
    Mp3StreamHeader::SeekPoint point{0, header.frame_bytes};
    out.seek_table.push_back(point);
    for (std::uint32_t i = 0; i < entries; ++i) {
        point.byte +=
            static_cast<std::int64_t>(big_endian(v + fixed_bytes + i * entry_bytes, int(entry_bytes))) * scale;
        point.frame += frames_per_entry;
        out.seek_table.push_back(point);
    }
}

}  // namespace

Mp3StreamHeader parse_stream_header(const std::uint8_t* frame, std::size_t size, const Mp3FrameHeader& header) {
    Mp3StreamHeader out;
    if (header.layer != 3) return out;
    const std::size_t xing = 4 + side_information_bytes(header);
    if (xing + 4 <= size && (std::memcmp(frame + xing, "Xing", 4) == 0 || std::memcmp(frame + xing, "Info", 4) == 0)) {
        read_xing(frame, size, xing, out);
    } else if (constexpr std::size_t vbri = 4 + 32; vbri + 4 <= size && std::memcmp(frame + vbri, "VBRI", 4) == 0) {
        read_vbri(frame, size, vbri, header, out);
    }
    return out;
}
