#include "telephony/phone_state.h"

#include "os/registry.h"

namespace phone_state {

uint32_t read_dword(std::u16string_view key, std::u16string_view name) {
    uint32_t value = 0;
    return os::reg_read_dword(key, name, value) ? value : 0;
}

std::u16string read_text(std::u16string_view key, std::u16string_view name) {
    std::u16string value;
    if (!os::reg_read_string(key, name, value)) return {};
    return bounded_text(value);
}

std::u16string bounded_text(std::u16string_view text, size_t units) {
    const size_t terminator = text.find(u'\0');
    if (terminator != std::u16string_view::npos) text = text.substr(0, terminator);
    if (text.size() <= units) return std::u16string(text);
    size_t cut = units;
    if (cut > 0 && text[cut - 1] >= 0xD800 && text[cut - 1] <= 0xDBFF) --cut;
    return std::u16string(text.substr(0, cut));
}

}  // namespace phone_state
