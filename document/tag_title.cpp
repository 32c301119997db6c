#include "document/tag_title.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "audio/mp3/id3_tag.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/text.h"

namespace {

constexpr size_t header_bytes = 10;
constexpr size_t v1_bytes = 128;
constexpr size_t v1_title_bytes = 30;
constexpr size_t copy_chunk = 1 << 16;
constexpr uint8_t flag_unsynchronised = 0x80;
constexpr uint8_t flag_extended = 0x40;
constexpr uint8_t flag_footer = 0x10;

uint32_t syncsafe(const uint8_t* p) {
    return (uint32_t(p[0]) << 21) | (uint32_t(p[1]) << 14) | (uint32_t(p[2]) << 7) | p[3];
}
uint32_t big_endian(const uint8_t* p) {
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

void put_size(uint8_t* p, uint32_t value, bool synchsafe) {
    for (int i = 0; i < 4; ++i) {
        const int shift = synchsafe ? 21 - 7 * i : 24 - 8 * i;
        p[i] = static_cast<uint8_t>(synchsafe ? (value >> shift) & 0x7F : (value >> shift) & 0xFF);
    }
}

bool is_frame_id(const uint8_t* p) {
    return std::all_of(p, p + 4, [](uint8_t c) { return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); });
}

// The ID3v2 tag at the start of a file as it lies there.
struct TagOnDisk {
    bool present = false;
    int version = 0;
    uint8_t flags = 0;
    int64_t total = 0;          // header, body and footer
    std::vector<uint8_t> body;  // after the header, up to the end of the size field's count
};

bool read_tag(os::File& file, TagOnDisk& tag) {
    uint8_t header[header_bytes] = {};
    if (!file.seek(0)) return false;
    if (file.read(header, header_bytes) != header_bytes || std::memcmp(header, "ID3", 3) != 0) return true;
    if ((header[6] | header[7] | header[8] | header[9]) & 0x80) return true;  // not a tag after all
    tag.present = true;
    tag.version = header[3];
    tag.flags = header[5];
    const uint32_t size = syncsafe(header + 6);
    tag.total = int64_t(header_bytes) + size + ((tag.version >= 4 && (tag.flags & flag_footer)) ? 10 : 0);
    if (tag.total > file.size()) return false;
    tag.body.resize(size);
    return file.read(tag.body.data(), size) == size;
}

// Every frame but the titles, byte for byte in their order, in the layout of the tag's version.
// False when the frames cannot be walked (a version or a layout we do not know).
bool frames_without_title(const TagOnDisk& tag, std::vector<uint8_t>& out) {
    std::vector<uint8_t> body = tag.body;
    if (tag.version == 3 && (tag.flags & flag_unsynchronised)) {
        // Undo the unsynchronisation of the whole tag; what we write back is not unsynchronised.
        std::vector<uint8_t> plain;
        plain.reserve(body.size());
        for (size_t i = 0; i < body.size(); ++i) {
            plain.push_back(body[i]);
            if (body[i] == 0xFF && i + 1 < body.size() && body[i + 1] == 0x00) ++i;
        }
        body.swap(plain);
    }
    size_t at = 0;
    if (tag.flags & flag_extended) {
        // The extended header may hold a CRC of the frames we change: it is left out.
        if (body.size() < 4) return false;
        at = tag.version >= 4 ? syncsafe(body.data()) : 4 + big_endian(body.data());
        if (at > body.size()) return false;
    }
    while (at + header_bytes <= body.size() && body[at] != 0) {
        if (!is_frame_id(&body[at])) return false;
        const uint32_t size = tag.version >= 4 ? syncsafe(&body[at + 4]) : big_endian(&body[at + 4]);
        if (at + header_bytes + size > body.size()) return false;
        if (std::memcmp(&body[at], "TIT2", 4) != 0) {
            out.insert(out.end(), body.begin() + static_cast<long>(at),
                       body.begin() + static_cast<long>(at + header_bytes + size));
        }
        at += header_bytes + size;
    }
    return true;
}

std::vector<uint8_t> title_frame(int version, std::u16string_view title) {
    Id3Tag text;
    text.set_text("TIT2", title);
    if (text.frames().empty()) return {};
    const std::vector<uint8_t>& body = text.frames().front().body;
    std::vector<uint8_t> frame(header_bytes, 0);
    std::memcpy(frame.data(), "TIT2", 4);
    put_size(frame.data() + 4, static_cast<uint32_t>(body.size()), version >= 4);
    frame.insert(frame.end(), body.begin(), body.end());
    return frame;
}

// The whole tag: header, frames, zero padding up to `size` bytes after the header, footer.
std::vector<uint8_t> render(int version, uint8_t flags, const std::vector<uint8_t>& frames, uint32_t size) {
    std::vector<uint8_t> out = {'I', 'D', '3', static_cast<uint8_t>(version), 0, flags, 0, 0, 0, 0};
    put_size(out.data() + 6, size, true);
    out.insert(out.end(), frames.begin(), frames.end());
    out.resize(header_bytes + size, 0);
    if (flags & flag_footer) {
        out.insert(out.end(), {'3', 'D', 'I', static_cast<uint8_t>(version), 0, flags});
        out.insert(out.end(), out.begin() + 6, out.begin() + 10);
    }
    return out;
}

// The new tag, then the old file from `audio_from` on, into a file beside it that then takes its
// place.
bool rewrite_whole(const std::u16string& path, os::File& old_file, const std::vector<uint8_t>& tag,
                   int64_t audio_from) {
    const std::u16string temporary = os::join(os::folder_of(path), u"." + os::file_name_of(path) + u".retitle");
    os::File out(temporary, os::File::Write);
    if (!out.is_open()) return false;
    // Held while it is written: a scan meanwhile (ours or another instance's) leaves it alone.
    out.try_lock();
    bool ok = out.write(tag.data(), tag.size()) == tag.size() && old_file.seek(audio_from);
    std::vector<uint8_t> chunk(copy_chunk);
    for (int64_t left = old_file.size() - audio_from; ok && left > 0;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(left, copy_chunk));
        const size_t got = old_file.read(chunk.data(), want);
        ok = got == want && out.write(chunk.data(), got) == got;
        left -= static_cast<int64_t>(got);
    }
    ok = ok && out.flush();
    out.close();
    if (ok) ok = os::replace_file(temporary, path);
    if (!ok) os::delete_file(temporary);
    return ok;
}

bool has_v1_tag(os::File& file) {
    uint8_t head[3] = {};
    return file.size() >= int64_t(v1_bytes) && file.seek(file.size() - int64_t(v1_bytes)) && file.read(head, 3) == 3 &&
           std::memcmp(head, "TAG", 3) == 0;
}

// ID3v1 holds 30 bytes of ISO-8859-1; what does not fit that is left out or shown as "?".
bool write_v1_title(os::File& file, std::u16string_view title) {
    uint8_t field[v1_title_bytes] = {};
    for (size_t i = 0; i < title.size() && i < v1_title_bytes; ++i) {
        field[i] = title[i] < 0x100 ? static_cast<uint8_t>(title[i]) : '?';
    }
    return file.seek(file.size() - int64_t(v1_bytes) + 3) && file.write(field, v1_title_bytes) == v1_title_bytes;
}

// Files whose own container would break with a tag put in front of it.
bool may_take_new_tag(const std::u16string& path, os::File& file) {
    if (os::lower(os::extension_of(path)) != u"mp3") return false;
    char magic[4] = {};
    if (!file.seek(0) || file.read(magic, 4) != 4) return false;
    const std::string_view start(magic, 4);
    return start != "RIFF" && start != "OggS" && start != "MPCK" && start.substr(0, 3) != "MP+";
}

}  // namespace

bool rewrite_tag_title(const std::u16string& path, std::u16string_view title) {
    os::File file(path, os::File::Read);
    if (!file.is_open()) return false;
    TagOnDisk tag;
    if (!read_tag(file, tag)) return false;
    const bool v1 = has_v1_tag(file);

    if (tag.present || (!v1 && may_take_new_tag(path, file))) {
        const int version = tag.present ? tag.version : 3;
        std::vector<uint8_t> frames;
        if (tag.present && ((version != 3 && version != 4) || !frames_without_title(tag, frames))) return false;
        // The title goes where tag readers look first: in front of the other frames.
        std::vector<uint8_t> both = title_frame(version, title);
        both.insert(both.end(), frames.begin(), frames.end());
        const uint8_t flags = static_cast<uint8_t>(tag.flags & ~(flag_unsynchronised | flag_extended));
        const bool was_unsynchronised = version == 3 && (tag.flags & flag_unsynchronised);
        if (tag.present && !was_unsynchronised && both.size() <= tag.body.size()) {
            const std::vector<uint8_t> bytes = render(version, flags, both, static_cast<uint32_t>(tag.body.size()));
            os::File writable(path, os::File::ReadWrite);
            if (!writable.is_open() || !writable.seek(0) ||
                writable.write(bytes.data(), bytes.size()) != bytes.size()) {
                return false;
            }
        } else {
            const auto size =
                static_cast<uint32_t>(std::min<uint64_t>(both.size() + Id3Tag::kPadding, Id3Tag::kMaxSize));
            if (both.size() > size) return false;
            if (!rewrite_whole(path, file, render(version, flags, both, size), tag.present ? tag.total : 0))
                return false;
        }
    }
    if (v1) {
        os::File writable(path, os::File::ReadWrite);
        if (!writable.is_open() || !has_v1_tag(writable) || !write_v1_title(writable, title)) return false;
    }
    return true;
}
