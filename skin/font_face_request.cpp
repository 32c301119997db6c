#include "skin/font_face_request.h"

namespace {
bool is_space(char16_t c) { return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n' || c == u'\v' || c == u'\f'; }

void skip_spaces(std::u16string_view text, size_t& i) {
    while (i < text.size() && is_space(text[i])) ++i;
}

bool read_integer(std::u16string_view text, size_t& i, int32_t& value) {
    skip_spaces(text, i);
    size_t j = i;
    bool negative = false;
    if (j < text.size() && (text[j] == u'-' || text[j] == u'+')) negative = text[j++] == u'-';
    const size_t digits_start = j;
    int64_t magnitude = 0;
    while (j < text.size() && text[j] >= u'0' && text[j] <= u'9') {
        if (magnitude < 0x7FFFFFFF) magnitude = magnitude * 10 + (text[j] - u'0');
        ++j;
    }
    if (j == digits_start) return false;
    if (magnitude > 0x7FFFFFFF) magnitude = 0x7FFFFFFF;
    value = static_cast<int32_t>(negative ? -magnitude : magnitude);
    i = j;
    return true;
}
}  // namespace

void parse_font_description(std::u16string_view description, FontSpec& spec) {
    size_t i = 0;
    int32_t value = 0;
    if (!read_integer(description, i, value)) return;
    spec.size = value;
    bool* flags[] = {&spec.bold, &spec.italic, &spec.underline};
    for (bool* flag : flags) {
        if (!read_integer(description, i, value)) return;
        *flag = value != 0;
    }
    skip_spaces(description, i);
    if (i < description.size()) spec.face = std::u16string(description.substr(i));
}
