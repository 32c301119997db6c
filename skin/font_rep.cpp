#include "skin/font_rep.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H
#include FT_SYNTHESIS_H

#include <algorithm>
#include <cstdlib>
#include <mutex>

#include "os/event.h"
#include "os/log.h"
#include "os/stopwatch.h"
#include "os/text.h"

namespace {
// Pixel sizes beyond this come only from broken skins; FreeType would spend seconds on them.
constexpr int32_t kMaxPixelHeight = 512;

FT_Library library() {
    static FT_Library instance = [] {
        FT_Library created = nullptr;
        if (FT_Init_FreeType(&created) != 0) created = nullptr;
        return created;
    }();
    return instance;
}

// The font file fontconfig picks for a face name, weight and slant: a face that is not installed
// ("Tahoma") resolves to the closest installed sans face.
bool match_font(const FontSpec& spec, std::string& file, int& index, bool& is_bold, bool& is_italic) {
    static std::once_flag init;
    // Fontconfig's configuration lives for the process; releasing it at exit keeps leak checkers
    // quiet. We hold no fontconfig objects beyond a single match.
    std::call_once(init, [] {
        FcInit();
        std::atexit(FcFini);
    });
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return false;
    const std::string face = os::to_utf8(spec.face.substr(0, 31));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(face.c_str()));
    FcPatternAddInteger(pattern, FC_WEIGHT, spec.bold ? FC_WEIGHT_BOLD : FC_WEIGHT_REGULAR);
    FcPatternAddInteger(pattern, FC_SLANT, spec.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcPatternAddBool(pattern, FC_SCALABLE, FcTrue);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &result);
    FcPatternDestroy(pattern);
    if (!match) return false;
    FcChar8* path = nullptr;
    bool found = FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path;
    if (found) {
        file = reinterpret_cast<const char*>(path);
        if (FcPatternGetInteger(match, FC_INDEX, 0, &index) != FcResultMatch) index = 0;
        int weight = FC_WEIGHT_REGULAR;
        int slant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &weight);
        FcPatternGetInteger(match, FC_SLANT, 0, &slant);
        is_bold = weight >= FC_WEIGHT_DEMIBOLD;
        is_italic = slant != FC_SLANT_ROMAN;
    }
    FcPatternDestroy(match);
    return found;
}

int32_t round_26_6(FT_Pos value) { return static_cast<int32_t>((value + 32) >> 6); }
}  // namespace

class FontFace {
public:
    FT_Face face = nullptr;
    bool embolden = false;
    bool oblique = false;
    ~FontFace() {
        if (face) FT_Done_Face(face);
    }
};

FontRep::FontRep(const FontSpec& spec, int32_t dpi_y) : m_spec(spec) {
    m_missing.reserve(100);
    m_scratch_widths.reserve(100);
    // The character height in pixels, negative as a request for the em height rather than the cell.
    const int64_t char_height = -(static_cast<int64_t>(spec.size) * spec.scale * 96 / 72);
    os::log() << u"dpiy=" << dpi_y << u" log_font.lfHeight=" << char_height << u"\n";
    Stopwatch stopwatch;
    int64_t pixels = char_height < 0 ? -char_height : char_height;
    if (pixels == 0) pixels = 16;
    pixels = std::min<int64_t>(pixels, kMaxPixelHeight);

    std::string file;
    int index = 0;
    bool is_bold = false;
    bool is_italic = false;
    auto face = std::make_unique<FontFace>();
    if (library() && match_font(spec, file, index, is_bold, is_italic) &&
        FT_New_Face(library(), file.c_str(), index, &face->face) == 0 &&
        FT_Set_Pixel_Sizes(face->face, 0, static_cast<FT_UInt>(pixels)) == 0) {
        face->embolden = spec.bold && !is_bold;
        face->oblique = spec.italic && !is_italic;
        m_face = std::move(face);
    } else {
        os::log() << u"ERROR: FontRep::FontRep() Failed to create font\n";
    }
    os::log() << u"Creating font: {" << spec.face << u"} elapsed=" << stopwatch.elapsed() << u"\n";
    if (m_face) {
        const FT_Size_Metrics& metrics = m_face->face->size->metrics;
        const int32_t ascent = round_26_6(metrics.ascender);
        const int32_t descent = round_26_6(-metrics.descender);
        if (ascent + descent > 0) {
            m_line_height = ascent + descent;
            m_descent = descent;
        }
        if (FT_IS_SCALABLE(m_face->face)) {
            const FT_Fixed scale = metrics.y_scale;
            m_underline_position = std::max(1, round_26_6(-FT_MulFix(m_face->face->underline_position, scale)));
            m_underline_thickness = std::max(1, round_26_6(FT_MulFix(m_face->face->underline_thickness, scale)));
        }
    }
}

FontRep::~FontRep() = default;

int32_t FontRep::cached_width(char16_t unit) const {
    auto found = m_widths.find(unit);
    return found == m_widths.end() ? -1 : found->second;
}

void FontRep::char_widths(std::u16string_view text, std::vector<int32_t>& widths) {
    m_missing.clear();
    for (char16_t unit : text) {
        if (m_widths.count(unit) == 0 && std::find(m_missing.begin(), m_missing.end(), unit) == m_missing.end()) {
            m_missing.push_back(unit);
        }
    }
    // One pass over the units never seen: the running extent of the run, and each unit's width as
    // its extent minus the one before.
    if (!m_missing.empty()) {
        m_scratch_widths.clear();
        int32_t extent = 0;
        for (char16_t unit : m_missing) {
            int32_t advance = 0;
            if (m_face && FT_Load_Char(m_face->face, unit, FT_LOAD_DEFAULT) == 0) {
                FT_Pos x = m_face->face->glyph->advance.x;
                if (m_face->embolden) x += 1 << 6;
                advance = round_26_6(x);
            }
            const int32_t previous = extent;
            extent += advance;
            m_scratch_widths.push_back(extent - previous);
        }
        for (size_t i = 0; i < m_missing.size(); ++i) m_widths[m_missing[i]] = m_scratch_widths[i];
    }
    widths.resize(text.size());
    for (size_t i = 0; i < text.size(); ++i) widths[i] = cached_width(text[i]);
}

int32_t FontRep::text_width(std::u16string_view text) {
    std::vector<int32_t> widths;
    char_widths(text, widths);
    int32_t total = 0;
    for (int32_t width : widths) total += width;
    return total;
}

size_t FontRep::fit(std::u16string_view text, int32_t max_width) {
    std::vector<int32_t> widths;
    char_widths(text, widths);
    int32_t total = 0;
    for (size_t i = 0; i < widths.size(); ++i) {
        total += widths[i];
        if (total > max_width) return i;
    }
    return widths.size();
}

const Glyph& FontRep::glyph(char16_t unit) {
    auto found = m_glyphs.find(unit);
    if (found != m_glyphs.end()) return found->second;
    Glyph& glyph = m_glyphs[unit];
    if (!m_face || FT_Load_Char(m_face->face, unit, FT_LOAD_DEFAULT | FT_LOAD_NO_BITMAP) != 0) return glyph;
    FT_GlyphSlot slot = m_face->face->glyph;
    if (m_face->oblique) FT_GlyphSlot_Oblique(slot);
    if (m_face->embolden) FT_GlyphSlot_Embolden(slot);
    if (FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0) return glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    glyph.left = slot->bitmap_left;
    glyph.top = slot->bitmap_top;
    glyph.width = static_cast<int32_t>(bitmap.width);
    glyph.height = static_cast<int32_t>(bitmap.rows);
    glyph.coverage.resize(static_cast<size_t>(glyph.width) * glyph.height);
    for (int32_t y = 0; y < glyph.height; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<ptrdiff_t>(y) * bitmap.pitch;
        std::copy(row, row + glyph.width, glyph.coverage.begin() + static_cast<ptrdiff_t>(y) * glyph.width);
    }
    return glyph;
}
