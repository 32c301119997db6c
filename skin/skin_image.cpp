#include "skin/skin_image.h"

uint16_t SkinImage::u16(uint32_t offset) const {
    if (!contains(offset, 2)) return 0;
    return static_cast<uint16_t>(m_bytes[offset] | (m_bytes[offset + 1] << 8));
}

uint32_t SkinImage::u32(uint32_t offset) const {
    if (!contains(offset, 4)) return 0;
    return static_cast<uint32_t>(m_bytes[offset]) | (static_cast<uint32_t>(m_bytes[offset + 1]) << 8) |
           (static_cast<uint32_t>(m_bytes[offset + 2]) << 16) | (static_cast<uint32_t>(m_bytes[offset + 3]) << 24);
}

int SkinImage::compare_name(std::u16string_view wanted, uint32_t offset) const {
    size_t i = 0;
    while (true) {
        const bool in_image = contains(offset, 2);
        const char16_t unit = in_image ? static_cast<char16_t>(u16(offset)) : 0;
        if (i == wanted.size()) return unit == 0 ? 0 : -1;
        if (unit == 0) return 1;
        if (wanted[i] != unit) return wanted[i] < unit ? -1 : 1;
        ++i;
        offset += 2;
    }
}

std::u16string SkinImage::text(uint32_t offset) const {
    std::u16string result;
    while (contains(offset, 2)) {
        const char16_t unit = static_cast<char16_t>(u16(offset));
        if (unit == 0) break;
        result.push_back(unit);
        offset += 2;
    }
    return result;
}

uint32_t SkinImage::end_of_text(uint32_t offset) const {
    while (contains(offset, 2)) {
        if (u16(offset) == 0) return offset + 2;
        offset += 2;
    }
    return 0;
}
