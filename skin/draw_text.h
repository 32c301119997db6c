#pragma once
// Text output into RGB565 surfaces. The glyphs are blended into a scratch copy of the text box,
// and only the pixels the text changed are written back (with the opaque bit set), so text over a
// colour-keyed or translucent cache keeps the cache's transparency everywhere else.
#include <cstdint>
#include <string_view>

#include "skin/color.h"
#include "skin/font_rep.h"
#include "skin/geometry.h"
#include "skin/render_surface.h"

enum class HAlign : int32_t { Left = 0, Center = 1, Right = 2, Justify = 3 };
enum class VAlign : int32_t { Top = 0, VCenter = 1, Bottom = 2 };

// The clip that means "the whole box".
constexpr Rect kClipToBox{-1, -1, -1, -1};

// Draws `text` in `box`. Without `wrap` the text is one line; with it, lines break at spaces (and
// at line feeds). A line or word too long for the box, and the last line when more text would
// follow below the box, end in "...". JUSTIFY draws as LEFT.
void draw_text(RenderSurface& surface, FontRep& font, Color color, std::u16string_view text, Rect box, HAlign halign,
               VAlign valign, bool wrap, Rect clip = kClipToBox);

// The lines `draw_text` would draw in a box `width` pixels wide (without the vertical cut).
std::vector<std::u16string> break_text_lines(FontRep& font, std::u16string_view text, int32_t width, bool wrap);

// Text shortened to fit `width` with "..." at its end (unchanged when it fits).
std::u16string ellipsize(FontRep& font, std::u16string_view text, int32_t width);
