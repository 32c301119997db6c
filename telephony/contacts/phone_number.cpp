#include "telephony/contacts/phone_number.h"

namespace {

constexpr size_t minimum_suffix_digits = 7;

bool starts_with_ignoring_case(std::u16string_view text, std::u16string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        char16_t c = text[i];
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        if (c != prefix[i]) return false;
    }
    return true;
}

bool ends_with(const std::string& text, const std::string& suffix) {
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

DialledNumber dialled_number(std::u16string_view number) {
    size_t start = 0;
    while (start < number.size() && (number[start] == u' ' || number[start] == u'\t')) ++start;
    number = number.substr(start);
    if (starts_with_ignoring_case(number, u"tel:")) number = number.substr(4);
    const size_t end = number.find_first_of(u";,");
    if (end != std::u16string_view::npos) number = number.substr(0, end);

    DialledNumber result;
    bool seen_dialled = false;
    for (size_t i = 0; i < number.size(); ++i) {
        const char16_t c = number[i];
        if (c == u'+' && !seen_dialled) {
            result.international = true;
        } else if (c == u'(' && number.substr(i, 3) == u"(0)" && result.international) {
            i += 2;  // the trunk prefix written beside an international number
        } else if ((c >= u'0' && c <= u'9') || c == u'*' || c == u'#') {
            result.digits += static_cast<char>(c);
            seen_dialled = true;
        }
    }
    if (!result.international && result.digits.size() > 2 && result.digits.compare(0, 2, "00") == 0) {
        result.international = true;
        result.digits.erase(0, 2);
    } else if (!result.international && result.digits.size() > 1 && result.digits[0] == '0') {
        result.digits.erase(0, 1);
    }
    return result;
}

bool phone_numbers_match(std::u16string_view a, std::u16string_view b) { return phone_match_strength(a, b) > 0; }

int phone_match_strength(std::u16string_view a, std::u16string_view b) {
    const DialledNumber first = dialled_number(a);
    const DialledNumber second = dialled_number(b);
    if (first.digits.empty() || second.digits.empty()) return 0;
    // No dialled number comes near this many digits, so an exact match outranks every ending.
    constexpr int exact = 1000;
    if (first.digits == second.digits) {
        const int length = static_cast<int>(first.digits.size());
        return first.international == second.international ? exact : length;
    }
    if (first.international && second.international) return 0;
    const std::string& longer = first.digits.size() >= second.digits.size() ? first.digits : second.digits;
    const std::string& shorter = first.digits.size() >= second.digits.size() ? second.digits : first.digits;
    if (shorter.size() < minimum_suffix_digits || !ends_with(longer, shorter)) return 0;
    return static_cast<int>(shorter.size());
}
