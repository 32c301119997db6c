#include "audio/stream/id3v2_header.h"

#include <array>
#include <cstring>

#include "audio/stream/input_file.h"

namespace {

bool is_syncsafe(const std::uint8_t* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }

// Four 7-bit groups, most significant first; callers have checked bit 7 of each byte.
std::uint32_t syncsafe32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 21) | (std::uint32_t(p[1]) << 14) | (std::uint32_t(p[2]) << 7) | p[3];
}

}  // namespace

Id3v2Header read_id3v2_header(InputFile& file) {
    Id3v2Header header;
    std::array<std::uint8_t, 10> bytes{};
    if (!file.seek(0) || file.read(bytes.data(), bytes.size()) != bytes.size()) return header;
    if (std::memcmp(bytes.data(), "ID3", 3) != 0 || bytes[3] == 255 || bytes[4] == 255 || (bytes[5] & 0x1F) != 0 ||
        !is_syncsafe(&bytes[6])) {
        return header;
    }
    header.present = true;
    header.version = bytes[3];
    header.flags = bytes[5];
    header.size = std::int64_t(syncsafe32(&bytes[6])) + 10;
    return header;
}
