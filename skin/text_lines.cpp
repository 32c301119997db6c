#include "skin/text_lines.h"

namespace {
bool is_space(char16_t c) { return c == u' ' || c == u'\t'; }
}  // namespace

std::vector<TextLine> break_lines(FontRep& font, std::u16string_view text, int32_t width, bool wrap, bool cut_words) {
    std::vector<TextLine> lines;
    if (!wrap) {
        lines.push_back({0, text.size(), text.size()});
        return lines;
    }
    std::vector<int32_t> widths;
    font.char_widths(text, widths);
    size_t i = 0;
    while (lines.size() < kMaxTextLines) {
        const size_t begin = i;
        size_t last_space = std::u16string_view::npos;
        int32_t used = 0;
        size_t j = i;
        bool hard_break = false;
        for (; j < text.size(); ++j) {
            if (text[j] == u'\n') {
                hard_break = true;
                break;
            }
            if (is_space(text[j])) last_space = j;
            if (used + widths[j] > width && !is_space(text[j]) && j > begin) break;
            used += widths[j];
        }
        TextLine line;
        line.begin = begin;
        if (j == text.size() || hard_break) {
            line.end = j;
            line.next = hard_break ? j + 1 : j;
        } else if (last_space != std::u16string_view::npos && last_space > begin) {
            line.end = last_space;
            line.next = last_space;
            while (line.next < text.size() && is_space(text[line.next])) ++line.next;
        } else if (cut_words) {
            line.end = line.next = j;
        } else {
            size_t word_end = j;
            while (word_end < text.size() && !is_space(text[word_end]) && text[word_end] != u'\n') ++word_end;
            line.end = word_end;
            line.next = word_end;
            while (line.next < text.size() && is_space(text[line.next])) ++line.next;
            if (line.next < text.size() && text[line.next] == u'\n') ++line.next;
        }
        while (line.end > line.begin && is_space(text[line.end - 1])) --line.end;
        lines.push_back(line);
        if (line.next >= text.size() && !(hard_break && line.next == text.size())) break;
        if (line.next >= text.size()) {
            // A text ending in a line feed has an empty last line (where an edit's caret goes).
            lines.push_back({text.size(), text.size(), text.size()});
            break;
        }
        i = line.next;
    }
    return lines;
}
