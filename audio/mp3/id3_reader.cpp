#include "audio/mp3/id3_reader.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "audio/stream/id3v2_header.h"
#include "audio/stream/input_file.h"
#include "os/text.h"

namespace {

constexpr std::int64_t id3v1_search_bytes = 1000;
constexpr std::size_t id3v1_body_bytes = 125;

std::uint32_t big_endian32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) | p[3];
}

// Four 7-bit groups, most significant first; callers have checked bit 7 of each byte.
std::uint32_t syncsafe32(const std::uint8_t* p) {
    return (std::uint32_t(p[0]) << 21) | (std::uint32_t(p[1]) << 14) | (std::uint32_t(p[2]) << 7) | p[3];
}

bool is_syncsafe(const std::uint8_t* p) { return ((p[0] | p[1] | p[2] | p[3]) & 0x80) == 0; }

std::u16string latin1(const std::uint8_t* p, std::size_t n) {
    std::u16string out;
    for (std::size_t i = 0; i < n && p[i] != 0; ++i) out += static_cast<char16_t>(p[i]);
    return out;
}

std::u16string utf16(const std::uint8_t* p, std::size_t n, bool little_endian) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < n; i += 2) {
        char16_t c = little_endian ? char16_t(p[i] | (p[i + 1] << 8)) : char16_t((p[i] << 8) | p[i + 1]);
        if (c == 0) break;
        out += c;
    }
    return out;
}

// Text whose byte-order mark, if any, tells how it is stored; single bytes without one.
std::u16string by_byte_order_mark(const std::uint8_t* p, std::size_t n) {
    if (n > 2 && p[0] == 0xFF && p[1] == 0xFE) return utf16(p + 2, n - 2, true);
    if (n > 2 && p[0] == 0xFE && p[1] == 0xFF) return utf16(p + 2, n - 2, false);
    return latin1(p, n);
}

}  // namespace

std::u16string decode_id3_text(const std::uint8_t* body, std::size_t size) {
    if (body == nullptr || size < 1) return {};
    const std::uint8_t* p = body + 1;
    const std::size_t n = size - 1;
    switch (body[0]) {
        case 0:
            return latin1(p, n);
        case 1:
            // A BOM is required here; text without one is taken as big-endian, Unicode's default.
            if (n >= 2 && p[0] == 0xFF && p[1] == 0xFE) return utf16(p + 2, n - 2, true);
            if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return utf16(p + 2, n - 2, false);
            return utf16(p, n, false);
        case 2:
            if (n >= 2 && p[0] == 0xFE && p[1] == 0xFF) return utf16(p + 2, n - 2, false);
            return utf16(p, n, false);
        case 3: {
            std::size_t length = static_cast<std::size_t>(std::find(p, p + n, 0) - p);
            return os::from_utf8(std::string_view(reinterpret_cast<const char*>(p), length));
        }
        default:
            return by_byte_order_mark(p, n);
    }
}

const Id3Frame* Id3v2Tag::find(std::string_view id) const {
    for (const Id3Frame& frame : frames) {
        if (frame.id == id) return &frame;
    }
    return nullptr;
}

std::u16string Id3v2Tag::text(std::string_view id) const {
    const Id3Frame* frame = find(id);
    return frame != nullptr ? decode_id3_text(frame->body.data(), frame->body.size()) : std::u16string();
}

Id3v2Tag read_id3v2(InputFile& file) {
    Id3v2Tag tag;
    const Id3v2Header header = read_id3v2_header(file);
    if (!header.present) return tag;
    tag.present = true;
    tag.version = header.version;
    tag.size = header.size;
    // Frames never reach past the tag nor past the file, whatever the sizes inside claim.
    const std::int64_t end = std::min(tag.size, file.size());

    if ((header.flags & 0x40) != 0) {
        std::array<std::uint8_t, 10> extended{};
        if (file.read(extended.data(), extended.size()) != extended.size()) return tag;
        if (tag.version >= 4) {
            // Here the extended header's size is syncsafe and counts itself.
            if (!is_syncsafe(extended.data())) return tag;
            file.seek(10 + std::int64_t(syncsafe32(extended.data())));
        } else if ((extended[4] & 0x80) != 0) {
            file.skip(4);
        }
    }

    for (;;) {
        std::array<std::uint8_t, 10> frame_header{};
        if (file.position() + 10 > end) break;
        if (file.read(frame_header.data(), frame_header.size()) != frame_header.size()) break;
        const std::uint8_t* size_bytes = &frame_header[4];
        if (size_bytes[0] > 15) break;
        std::uint32_t size = big_endian32(size_bytes);
        // Version 4 stores frame sizes as 7-bit groups like the tag size.
        if (tag.version >= 4 && is_syncsafe(size_bytes)) size = syncsafe32(size_bytes);
        if (size == 0 || std::int64_t(size) > end - file.position()) break;
        Id3Frame frame;
        frame.id.assign(reinterpret_cast<const char*>(frame_header.data()), 4);
        frame.body.resize(size);
        if (file.read(frame.body.data(), size) != size) break;
        tag.frames.push_back(std::move(frame));
    }
    return tag;
}

Id3v1Tag read_id3v1(InputFile& file) {
    Id3v1Tag tag;
    const std::int64_t window = std::min(file.size(), id3v1_search_bytes);
    if (window < 3) return tag;
    std::vector<std::uint8_t> tail(static_cast<std::size_t>(window));
    if (!file.seek(file.size() - window) || file.read(tail.data(), tail.size()) != tail.size()) return tag;

    std::size_t found = tail.size();
    for (std::size_t i = tail.size() - 3 + 1; i-- > 0;) {
        if (tail[i] == 'T' && tail[i + 1] == 'A' && tail[i + 2] == 'G') {
            found = i;
            break;
        }
    }
    if (found == tail.size()) return tag;

    // A tag cut short by the end of the file reads as zeros: empty fields, no track.
    std::array<std::uint8_t, id3v1_body_bytes> body{};
    const std::size_t available = std::min(id3v1_body_bytes, tail.size() - found - 3);
    std::copy_n(tail.begin() + static_cast<std::ptrdiff_t>(found + 3), available, body.begin());
    tag.present = true;
    tag.title = latin1(&body[0], 30);
    tag.artist = latin1(&body[30], 30);
    tag.album = latin1(&body[60], 30);
    tag.year = latin1(&body[90], 4);
    tag.comment = latin1(&body[94], 30);
    if (body[94 + 28] == 0 && body[94 + 29] != 0) tag.track = body[94 + 29];
    tag.genre = available == id3v1_body_bytes ? body[124] : 255;
    return tag;
}

RecordTags read_record_tags(const std::u16string& path) {
    RecordTags tags;
    InputFile file(path);
    if (!file.is_open()) return tags;
    Id3v2Tag v2 = read_id3v2(file);
    tags.artist = v2.text("TPE1");
    tags.title = v2.text("TIT2");
    tags.album = v2.text("TALB");
    if (!tags.artist.empty() && !tags.title.empty() && !tags.album.empty()) return tags;

    // Only MP3 files carry ID3v1 tags; in the other containers "TAG" may be plain sample data.
    std::array<char, 4> magic{};
    file.seek(0);
    file.read(magic.data(), magic.size());
    const std::string_view start(magic.data(), magic.size());
    if (start == "RIFF" || start == "OggS" || start == "MPCK" || start.substr(0, 3) == "MP+") return tags;
    Id3v1Tag v1 = read_id3v1(file);
    if (!v1.present) return tags;
    if (tags.artist.empty()) tags.artist = v1.artist;
    if (tags.title.empty()) tags.title = v1.title;
    if (tags.album.empty()) tags.album = v1.album;
    return tags;
}
