#pragma once
// A created font: line metrics, the per-code-unit width cache that measuring and wrapping use, and
// rasterised glyphs for text output. Fonts are shared between a skin and the widgets that use them
// and are used on the GUI thread only.
#include <cstdint>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "skin/font_face_request.h"

// An anti-aliased glyph: coverage 0..255, `left` / `top` measured from the pen position on the
// baseline (top upwards).
struct Glyph {
    int32_t left = 0;
    int32_t top = 0;
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> coverage;
};

class FontFace;

class FontRep {
public:
    FontRep(const FontSpec& spec, int32_t dpi_y = 96);
    ~FontRep();
    FontRep(const FontRep&) = delete;
    FontRep& operator=(const FontRep&) = delete;

    // False when the platform font could not be created; measuring then gives zero widths.
    bool is_valid() const { return m_face != nullptr; }
    const FontSpec& spec() const { return m_spec; }
    // The font's total character height (20 when the metrics could not be read).
    int32_t line_height() const { return m_line_height; }
    int32_t descent() const { return m_descent; }
    int32_t ascent() const { return m_line_height - m_descent; }
    int32_t underline_position() const { return m_underline_position; }
    int32_t underline_thickness() const { return m_underline_thickness; }

    // Advance width of every code unit of `text`, in order. Code units never measured before are
    // gathered in order of first appearance and measured in one pass, then kept.
    void char_widths(std::u16string_view text, std::vector<int32_t>& widths);
    int32_t text_width(std::u16string_view text);
    // How many leading code units fit in `max_width` pixels, accumulating the cached widths.
    size_t fit(std::u16string_view text, int32_t max_width);

    // The rasterised glyph of a code unit (an empty one for units the face cannot show).
    const Glyph& glyph(char16_t unit);

private:
    int32_t cached_width(char16_t unit) const;

    FontSpec m_spec;
    std::unique_ptr<FontFace> m_face;
    int32_t m_line_height = 20;
    int32_t m_descent = 0;
    int32_t m_underline_position = 1;
    int32_t m_underline_thickness = 1;
    std::unordered_map<char16_t, int32_t> m_widths;
    std::unordered_map<char16_t, Glyph> m_glyphs;
    // Scratch lists for the measuring pass, reserved once so measuring does not allocate.
    std::vector<char16_t> m_missing;
    std::vector<int32_t> m_scratch_widths;
};
