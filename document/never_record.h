#pragma once
// Numbers whose calls are never recorded automatically, as users of call recorders ask for: the
// text "NeverRecord" under the settings key, numbers separated by ";". A call matches when its
// number names the same line as one on the list (phone_numbers_match: "+44 20 7946 0958" matches
// "020 7946 0958"). A voice note started by hand during such a call is still recorded.
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::u16string_view never_record_value = u"NeverRecord";

// The list as stored, empty entries dropped.
std::vector<std::u16string> never_record_numbers();
// The list as one text: entries trimmed, empty ones dropped, joined with ";".
std::u16string never_record_text(std::u16string_view text);
// Stores the list (never_record_text of text) and flushes. False, storing nothing, when an entry
// has no digit to dial or the registry refused.
bool set_never_record_numbers(std::u16string_view text);
bool is_never_recorded(std::u16string_view number);
