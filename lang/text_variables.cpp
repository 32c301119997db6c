#include "lang/text_variables.h"

#include "os/path.h"
#include "os/text.h"

namespace lang {

std::u16string set_text_variable(std::u16string_view text, std::u16string_view variable, std::u16string_view value) {
    return os::replace_all(text, variable, value);
}

std::u16string set_count(std::u16string_view text, long long count) {
    return set_text_variable(text, kCountVariable, os::to_text(count));
}

}  // namespace lang
