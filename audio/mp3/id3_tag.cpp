#include "audio/mp3/id3_tag.h"

#include <algorithm>
#include <cstring>

#include "os/file.h"

namespace {

bool starts_with(std::span<const uint8_t> bytes, std::initializer_list<uint8_t> prefix) {
    return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

void put_big_endian(std::vector<uint8_t>& out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(value >> shift));
}

}  // namespace

const Id3Tag::Frame* Id3Tag::find(std::string_view frame_id) const {
    for (const Frame& frame : m_frames) {
        if (frame.id == frame_id) return &frame;
    }
    return nullptr;
}

void Id3Tag::set_frame(std::string_view frame_id, std::vector<uint8_t> body) {
    for (Frame& frame : m_frames) {
        if (frame.id == frame_id) {
            frame.body = std::move(body);
            return;
        }
    }
    m_frames.push_back(Frame{std::string(frame_id), std::move(body)});
}

void Id3Tag::remove_frame(std::string_view frame_id) {
    std::erase_if(m_frames, [&](const Frame& frame) { return frame.id == frame_id; });
}

void Id3Tag::set_comment(std::u16string_view text) {
    const size_t end = text.find(u'\0');
    if (end != std::u16string_view::npos) text = text.substr(0, end);
    if (text.empty()) {
        remove_frame("COMM");
        return;
    }
    const bool single_byte = std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 32 && c <= 127; });
    std::vector<uint8_t> body{static_cast<uint8_t>(single_byte ? 0 : 1), 'e', 'n', 'g'};
    if (single_byte) {
        body.push_back(0);  // the empty description's terminator
        for (char16_t c : text) body.push_back(static_cast<uint8_t>(c));
    } else {
        // Each string of a UTF-16 frame carries its own byte-order mark.
        body.insert(body.end(), {0xFF, 0xFE, 0, 0, 0xFF, 0xFE});
        for (char16_t c : text) {
            body.push_back(static_cast<uint8_t>(c & 0xFF));
            body.push_back(static_cast<uint8_t>(c >> 8));
        }
    }
    set_frame("COMM", std::move(body));
}

void Id3Tag::set_text(std::string_view frame_id, std::u16string_view text) {
    const size_t end = text.find(u'\0');
    if (end != std::u16string_view::npos) text = text.substr(0, end);
    if (text.empty()) {
        remove_frame(frame_id);
        return;
    }
    const bool single_byte = std::all_of(text.begin(), text.end(), [](char16_t c) { return c >= 32 && c <= 127; });
    std::vector<uint8_t> body;
    if (single_byte) {
        body.reserve(text.size() + 1);
        body.push_back(0);
        for (char16_t c : text) body.push_back(static_cast<uint8_t>(c));
    } else {
        body.reserve(2 * text.size() + 3);
        body.insert(body.end(), {1, 0xFF, 0xFE});
        for (char16_t c : text) {
            body.push_back(static_cast<uint8_t>(c & 0xFF));
            body.push_back(static_cast<uint8_t>(c >> 8));
        }
    }
    set_frame(frame_id, std::move(body));
}

std::string_view Id3Tag::mime_type_of(std::span<const uint8_t> picture) {
    // Every JPEG starts with FF D8 FF; the fourth byte names the first segment, which is E1 for
    // the Exif pictures phone cameras take, not only the E0 of JFIF files.
    if (starts_with(picture, {0xFF, 0xD8, 0xFF})) return "image/jpeg";
    if (starts_with(picture, {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A})) return "image/png";
    if (starts_with(picture, {'G', 'I', 'F', '8', '7', 'a'}) || starts_with(picture, {'G', 'I', 'F', '8', '9', 'a'})) {
        return "image/gif";
    }
    return "image/xyz";
}

void Id3Tag::set_picture(std::span<const uint8_t> picture) {
    if (picture.size() < 8) {
        remove_frame("APIC");
        return;
    }
    const std::string_view mime = mime_type_of(picture);
    std::vector<uint8_t> body;
    body.reserve(mime.size() + picture.size() + 4);
    body.push_back(0);  // text encoding of the MIME type and description
    body.insert(body.end(), mime.begin(), mime.end());
    body.push_back(0);
    body.push_back(0);  // picture type "other"
    body.push_back(0);  // empty description
    body.insert(body.end(), picture.begin(), picture.end());
    set_frame("APIC", std::move(body));
}

std::optional<std::vector<uint8_t>> Id3Tag::render(uint32_t fixed_size) const {
    uint64_t sum = 0;
    for (const Frame& frame : m_frames) sum += frame.body.size() + kHeaderSize;
    if (sum == 0 || sum > kMaxSize) return std::nullopt;
    if (fixed_size != 0 && (fixed_size < kHeaderSize || sum > fixed_size - kHeaderSize)) return std::nullopt;
    const uint32_t size = fixed_size != 0 ? fixed_size - kHeaderSize
                                          : static_cast<uint32_t>(std::min<uint64_t>(sum + kPadding, kMaxSize));

    std::vector<uint8_t> out;
    out.reserve(size + kHeaderSize);
    out.insert(out.end(), {'I', 'D', '3', 3, 0, 0});
    // The tag size is "synchsafe": four 7-bit groups, so no byte of it looks like a frame sync.
    for (int shift = 21; shift >= 0; shift -= 7) out.push_back(static_cast<uint8_t>((size >> shift) & 0x7F));
    for (const Frame& frame : m_frames) {
        char id[4] = {' ', ' ', ' ', ' '};
        std::memcpy(id, frame.id.data(), std::min<size_t>(4, frame.id.size()));
        out.insert(out.end(), id, id + 4);
        put_big_endian(out, static_cast<uint32_t>(frame.body.size()));
        out.insert(out.end(), {0, 0});
        out.insert(out.end(), frame.body.begin(), frame.body.end());
    }
    out.resize(size + kHeaderSize, 0);
    return out;
}

bool Id3Tag::write(os::File& file, uint32_t fixed_size) const {
    const std::optional<std::vector<uint8_t>> bytes = render(fixed_size);
    if (!bytes) return false;
    return file.write(bytes->data(), bytes->size()) == bytes->size();
}
