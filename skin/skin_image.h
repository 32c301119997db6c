#pragma once
// Bounds-checked reading of a skin file image. Skin files come from outside the program, so every
// read is checked against the image size: an offset outside the image reads as zero / an empty
// name instead of touching memory that is not ours.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class SkinImage {
public:
    SkinImage() = default;
    explicit SkinImage(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    uint32_t size() const { return static_cast<uint32_t>(m_bytes.size()); }
    const uint8_t* data() const { return m_bytes.data(); }
    bool contains(uint32_t offset, uint32_t length) const {
        return offset <= m_bytes.size() && length <= m_bytes.size() - offset;
    }

    uint8_t u8(uint32_t offset) const { return contains(offset, 1) ? m_bytes[offset] : 0; }
    uint16_t u16(uint32_t offset) const;
    uint32_t u32(uint32_t offset) const;
    int16_t i16(uint32_t offset) const { return static_cast<int16_t>(u16(offset)); }
    int32_t i32(uint32_t offset) const { return static_cast<int32_t>(u32(offset)); }

    // Compares `wanted` with the NUL-terminated name at `offset` by unsigned code unit, the shorter
    // first when one is a prefix of the other. A name running off the image ends where it does.
    int compare_name(std::u16string_view wanted, uint32_t offset) const;
    // The NUL-terminated text at `offset`, cut at the end of the image.
    std::u16string text(uint32_t offset) const;
    // Offset just past the NUL of the text at `offset`, or 0 when the image ends before its NUL.
    uint32_t end_of_text(uint32_t offset) const;

private:
    std::vector<uint8_t> m_bytes;
};
