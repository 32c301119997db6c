#pragma once
// What a skin asks of a font. Sizes are in points at 96 dpi; `scale` doubles them on hi-res skins.
#include <cstdint>
#include <string>
#include <string_view>

struct FontSpec {
    int32_t size = 12;
    int32_t scale = 1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    std::u16string face = u"Tahoma";
};

// Reads a skin's font description over `spec`: size, bold, italic and underline flags (optionally
// signed decimals, a flag is set when non-zero), then the face name to the end of the text, spaces
// included. Parsing stops at the first field that is not there; the fields before it are kept.
void parse_font_description(std::u16string_view description, FontSpec& spec);
