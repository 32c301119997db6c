#include <unicode/unistr.h>

#include "os/path.h"

namespace os {

std::u16string lower(std::u16string_view text) {
    icu::UnicodeString copy(text.data(), static_cast<int32_t>(text.size()));
    copy.toLower();
    return std::u16string(copy.getBuffer(), static_cast<size_t>(copy.length()));
}

std::u16string upper(std::u16string_view text) {
    icu::UnicodeString copy(text.data(), static_cast<int32_t>(text.size()));
    copy.toUpper();
    return std::u16string(copy.getBuffer(), static_cast<size_t>(copy.length()));
}

}  // namespace os
