#pragma once
// Line breaking that keeps track of where each line lies in the text, for the text widgets that
// draw in runs and for the edit's caret.
#include <cstdint>
#include <string_view>
#include <vector>

#include "skin/font_rep.h"

struct TextLine {
    size_t begin = 0;  // first code unit of the line
    size_t end = 0;    // one past the last code unit shown (trailing spaces and the line feed excluded)
    size_t next = 0;   // where the following line starts
};

// Without `wrap` the whole text is one line. With it, lines break at spaces and line feeds; a word
// wider than `width` is cut between characters when `cut_words` is set (edits), and otherwise
// kept whole (the drawing ends it in "..."). Always at least one line.
std::vector<TextLine> break_lines(FontRep& font, std::u16string_view text, int32_t width, bool wrap, bool cut_words);

// Most lines a text is ever broken into; what follows is not shown (a bound for hostile input).
constexpr size_t kMaxTextLines = 1000;
