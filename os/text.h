#pragma once
// Text helpers at the OS boundary: the program keeps texts in UTF-16 and converts only here.
#include <cstdint>
#include <string>
#include <string_view>

namespace os {

std::string to_utf8(std::u16string_view text);
std::u16string from_utf8(std::string_view text);
// Decimal form of a number, as every log line and message writes numbers.
std::u16string to_text(long long value);
std::u16string to_text_unsigned(unsigned long long value);
// A JSON string literal (quotes included) of the text in UTF-8, for the tools' JSON output.
std::string json_string(std::u16string_view text);

}  // namespace os
