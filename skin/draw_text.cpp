#include "skin/draw_text.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace {
constexpr std::u16string_view kEllipsis = u"...";

// The process-wide scratch surface; it only ever grows.
RenderSurface& scratch_surface(Size at_least) {
    static RenderSurface scratch;
    const Size have = scratch.size();
    if (have.width < at_least.width || have.height < at_least.height) {
        scratch.recreate(std::max(have.width, at_least.width), std::max(have.height, at_least.height));
    }
    return scratch;
}

bool is_space(char16_t c) { return c == u' ' || c == u'\t'; }

// Blends a colour into a pixel by an 8-bit coverage, per channel. A colour equal to the pixel
// leaves it exactly as it was.
inline Pixel blend(Pixel d, Pixel c, int32_t a) {
    if (a >= 255) return c;
    const int32_t dr = d >> 11, dg = (d >> 5) & 0x3F, db = d & 0x1F;
    const int32_t cr = c >> 11, cg = (c >> 5) & 0x3F, cb = c & 0x1F;
    const int32_t r = dr + (cr - dr) * a / 255;
    const int32_t g = dg + (cg - dg) * a / 255;
    const int32_t b = db + (cb - db) * a / 255;
    return static_cast<Pixel>((r << 11) | (g << 5) | b);
}

// Draws in box coordinates within `limit`; the bitmap holds only the limit's pixels, its top-left
// pixel being the limit's top-left corner.
void draw_line(Bitmap& bitmap, const Rect& limit, FontRep& font, Pixel color, std::u16string_view line, int32_t x,
               int32_t baseline) {
    std::vector<int32_t> widths;
    font.char_widths(line, widths);
    const int32_t start_x = x;
    for (size_t i = 0; i < line.size(); ++i) {
        const char16_t unit = line[i];
        if (unit >= 0x20) {
            const Glyph& glyph = font.glyph(unit);
            const int32_t left = x + glyph.left;
            const int32_t top = baseline - glyph.top;
            const int32_t x0 = std::max(left, limit.left), x1 = std::min(left + glyph.width, limit.right);
            const int32_t y0 = std::max(top, limit.top), y1 = std::min(top + glyph.height, limit.bottom);
            for (int32_t y = y0; y < y1; ++y) {
                const uint8_t* coverage = glyph.coverage.data() + static_cast<size_t>(y - top) * glyph.width;
                Pixel* row = bitmap.row(y - limit.top);
                for (int32_t px = x0; px < x1; ++px) {
                    const int32_t a = coverage[px - left];
                    if (a != 0) row[px - limit.left] = blend(row[px - limit.left], color, a);
                }
            }
        }
        x += widths[i];
    }
    if (font.spec().underline) {
        const int32_t top = std::max(baseline + font.underline_position(), limit.top);
        const int32_t bottom =
            std::min(baseline + font.underline_position() + font.underline_thickness(), limit.bottom);
        const int32_t x0 = std::max(start_x, limit.left), x1 = std::min(x, limit.right);
        for (int32_t y = top; y < bottom; ++y) {
            Pixel* row = bitmap.row(y - limit.top);
            std::fill(row + (x0 - limit.left), row + (std::max(x0, x1) - limit.left), color);
        }
    }
}
}  // namespace

std::u16string ellipsize(FontRep& font, std::u16string_view text, int32_t width) {
    if (font.text_width(text) <= width) return std::u16string(text);
    const int32_t room = width - font.text_width(kEllipsis);
    const size_t keep = room > 0 ? font.fit(text, room) : 0;
    return std::u16string(text.substr(0, keep)) + std::u16string(kEllipsis);
}

std::vector<std::u16string> break_text_lines(FontRep& font, std::u16string_view text, int32_t width, bool wrap) {
    std::vector<std::u16string> lines;
    if (!wrap) {
        std::u16string line(text);
        // One line: line breaks show as spaces.
        std::replace(line.begin(), line.end(), u'\n', u' ');
        std::replace(line.begin(), line.end(), u'\r', u' ');
        lines.push_back(ellipsize(font, line, width));
        return lines;
    }
    std::vector<int32_t> widths;
    size_t paragraph_start = 0;
    while (paragraph_start <= text.size()) {
        size_t paragraph_end = text.find(u'\n', paragraph_start);
        if (paragraph_end == std::u16string_view::npos) paragraph_end = text.size();
        std::u16string_view paragraph = text.substr(paragraph_start, paragraph_end - paragraph_start);
        if (!paragraph.empty() && paragraph.back() == u'\r') paragraph.remove_suffix(1);
        font.char_widths(paragraph, widths);
        size_t i = 0;
        do {
            // Take words while they fit; a word that alone is wider than the box ends in "...".
            const size_t line_start = i;
            size_t last_break = std::u16string_view::npos;
            int32_t used = 0;
            size_t j = i;
            for (; j < paragraph.size(); ++j) {
                if (is_space(paragraph[j])) last_break = j;
                if (used + widths[j] > width && !is_space(paragraph[j])) break;
                used += widths[j];
            }
            size_t line_end;
            size_t next;
            if (j == paragraph.size()) {
                line_end = next = j;
            } else if (last_break != std::u16string_view::npos && last_break > line_start) {
                line_end = last_break;
                next = last_break;
            } else {
                size_t word_end = j;
                while (word_end < paragraph.size() && !is_space(paragraph[word_end])) ++word_end;
                line_end = next = word_end;
            }
            std::u16string_view line = paragraph.substr(line_start, line_end - line_start);
            while (!line.empty() && is_space(line.back())) line.remove_suffix(1);
            lines.push_back(ellipsize(font, line, width));
            i = next;
            while (i < paragraph.size() && is_space(paragraph[i])) ++i;
        } while (i < paragraph.size());
        paragraph_start = paragraph_end + 1;
    }
    return lines;
}

void draw_text(RenderSurface& surface, FontRep& font, Color color, std::u16string_view text, Rect box, HAlign halign,
               VAlign valign, bool wrap, Rect clip) {
    Bitmap* target = surface.bitmap();
    if (text.empty() || !target || box.empty()) return;
    const int32_t width = box.width();
    const int32_t height = box.height();

    // The part of the box inside the destination, in box coordinates: only that part is copied in
    // and drawn on, and only that part can be written back. The scratch holds just that part, so a
    // box far larger than the screen costs no more than the screen.
    const Rect inside = intersect(box, {0, 0, target->width(), target->height()});
    if (inside.empty()) return;
    const Rect local{inside.left - box.left, inside.top - box.top, inside.right - box.left, inside.bottom - box.top};
    RenderSurface& scratch = scratch_surface({inside.width(), inside.height()});
    Bitmap* canvas = scratch.bitmap();
    if (!canvas || canvas->width() < inside.width() || canvas->height() < inside.height()) return;
    scratch.set_clip_state({{0, 0, canvas->width(), canvas->height()}, false});
    for (int32_t y = inside.top; y < inside.bottom; ++y) {
        opaque_blitter().copy_row(canvas->row(y - inside.top), canvas->row(y - inside.top) + inside.width(),
                                  target->row(y) + inside.left);
    }

    std::vector<std::u16string> lines = break_text_lines(font, text, width, wrap);
    const int32_t line_height = std::max(1, font.line_height());
    const size_t fit_lines = std::max<size_t>(1, static_cast<size_t>(height / line_height));
    if (lines.size() > fit_lines) {
        // More text would follow below the box: the last visible line says so.
        lines.resize(fit_lines);
        lines.back() = ellipsize(font, lines.back() + std::u16string(kEllipsis), width);
    }
    const int32_t total = line_height * static_cast<int32_t>(lines.size());
    int32_t y = valign == VAlign::Top ? 0 : valign == VAlign::Bottom ? height - total : (height - total) / 2;
    const Pixel pixel = to_pixel(color);
    for (const std::u16string& line : lines) {
        const int32_t line_width = font.text_width(line);
        const int32_t x = halign == HAlign::Center  ? (width - line_width) / 2
                          : halign == HAlign::Right ? width - line_width
                                                    : 0;
        draw_line(*canvas, local, font, pixel, line, x, y + font.ascent());
        y += line_height;
    }

    // Back into the destination, changed pixels only, within the clip and the surface's own clip.
    Rect area = clip.left == -1 && clip.top == -1 ? box : intersect(clip, box);
    area = intersect(area, surface.clip());
    area = intersect(area, inside);
    for (int32_t row = area.top; row < area.bottom; ++row) {
        text_write_back_blitter().copy_row(target->row(row) + area.left, target->row(row) + area.right,
                                           canvas->row(row - inside.top) + (area.left - inside.left));
    }
}
