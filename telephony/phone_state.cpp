#include "telephony/phone_state.h"

#include <algorithm>

#include "os/registry.h"
#include "os/tick.h"
#include "telephony/simulated_phone.h"

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
    std::u16string clean;
    clean.reserve(std::min(text.size(), units + 1));
    for (char16_t c : text) {
        if (c == u'\n' || c == u'\r' || c == u'\t' || c == 0x85 || c == 0x2028 || c == 0x2029) {
            if (!clean.empty() && clean.back() != u' ') clean += u' ';
        } else if (c >= 0x20 && !(c >= 0x7F && c <= 0x9F)) {
            clean += c;
        }
    }
    const size_t first = clean.find_first_not_of(u' ');
    if (first == std::u16string::npos) return {};
    clean = clean.substr(first, clean.find_last_not_of(u' ') - first + 1);
    if (clean.size() <= units) return clean;
    size_t cut = units;
    if (cut > 0 && clean[cut - 1] >= 0xD800 && clean[cut - 1] <= 0xDBFF) --cut;
    return clean.substr(0, cut);
}

uint32_t read_active_call() { return read_dword(phone_key, active_call); }

double publisher_silence_seconds() {
    constexpr std::u16string_view bridge_key = simulated_phone::phone_key;
    if (read_dword(bridge_key, u"Bridge") == 0) return 0.0;
    uint32_t beat = 0;
    // A bridge that never beats (an older one) is taken at its word.
    if (!os::reg_read_dword(bridge_key, bridge_beat, beat)) return 0.0;
    const auto age = static_cast<int32_t>(os::tick_count() - beat);
    // A beat from the future is one from before the machine restarted: long silent.
    if (age < -1000) return 1e9;
    return age < 0 ? 0.0 : age / 1000.0;
}

bool publisher_gone() { return publisher_silence_seconds() > publisher_patience_seconds; }

}  // namespace phone_state
