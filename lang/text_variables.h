#pragma once
// Text variables: placeholders in percent signs that a screen fills in before showing a message,
// such as "%count%" in "Confirm_deleting". The language files word such messages so that they
// read right for any number ("Recordings to delete: %count%"), which no language's plural rules
// can break.
#include <string>
#include <string_view>

namespace lang {

inline constexpr std::u16string_view kCountVariable = u"%count%";

// Every occurrence of variable replaced by value; a value holding the variable is not expanded again.
std::u16string set_text_variable(std::u16string_view text, std::u16string_view variable, std::u16string_view value);
// "%count%" replaced by the number in decimal.
std::u16string set_count(std::u16string_view text, long long count);

}  // namespace lang
