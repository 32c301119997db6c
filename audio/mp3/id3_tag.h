#pragma once
// An ID3v2.3 tag as a new recording carries it at the start of its MP3 file: text frames and an
// optional attached picture, followed by 1 KB of padding so the tag can later be rewritten in
// place without moving the audio.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace os {
class File;
}

class Id3Tag {
public:
    struct Frame {
        std::string id;  // four characters, e.g. "TIT2"
        std::vector<uint8_t> body;
    };

    // Tags never exceed what the 28-bit size field can state.
    static constexpr uint32_t kMaxSize = 0x0FFFFFFF;
    static constexpr uint32_t kPadding = 1024;
    static constexpr uint32_t kHeaderSize = 10;

    // An empty text removes the frame. Text of printable ASCII only (32..127) is stored as single
    // bytes; anything else as UTF-16LE with a byte-order mark. A character 0 ends the text. An
    // existing frame keeps its place; a new one goes to the end.
    void set_text(std::string_view frame_id, std::u16string_view text);
    // A comment ("COMM"): language "eng", an empty description, then the text, encoded as
    // set_text encodes; an empty text removes it.
    void set_comment(std::u16string_view text);
    // Fewer than 8 bytes remove the picture. The MIME type is guessed from the first bytes.
    void set_picture(std::span<const uint8_t> picture);

    // The whole tag, padding included; nothing when the frames do not fit. fixed_size 0 makes the
    // tag as large as its frames plus the padding; otherwise the tag takes exactly fixed_size
    // bytes, header included.
    std::optional<std::vector<uint8_t>> render(uint32_t fixed_size = 0) const;
    // Writes the rendered tag at the file's current position; false on any short write.
    bool write(os::File& file, uint32_t fixed_size = 0) const;

    const std::vector<Frame>& frames() const { return m_frames; }
    const Frame* find(std::string_view frame_id) const;

    static std::string_view mime_type_of(std::span<const uint8_t> picture);

private:
    void set_frame(std::string_view frame_id, std::vector<uint8_t> body);
    void remove_frame(std::string_view frame_id);

    std::vector<Frame> m_frames;
};
