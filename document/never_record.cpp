#include "document/never_record.h"

#include "document/settings.h"
#include "os/registry.h"
#include "telephony/contacts/phone_number.h"

namespace {

std::vector<std::u16string> split(std::u16string_view text) {
    std::vector<std::u16string> out;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u';', start);
        if (end == std::u16string_view::npos) end = text.size();
        std::u16string_view entry = text.substr(start, end - start);
        while (!entry.empty() && (entry.front() == u' ' || entry.front() == u'\t')) entry.remove_prefix(1);
        while (!entry.empty() && (entry.back() == u' ' || entry.back() == u'\t')) entry.remove_suffix(1);
        if (!entry.empty()) out.emplace_back(entry);
        start = end + 1;
    }
    return out;
}

}  // namespace

std::vector<std::u16string> never_record_numbers() {
    std::u16string text;
    if (!os::reg_read_string(settings_key, never_record_value, text)) return {};
    return split(text);
}

std::u16string never_record_text(std::u16string_view text) {
    std::u16string out;
    for (const std::u16string& entry : split(text)) {
        if (!out.empty()) out += u";";
        out += entry;
    }
    return out;
}

bool set_never_record_numbers(std::u16string_view text) {
    for (const std::u16string& entry : split(text)) {
        if (dialled_number(entry).digits.empty()) return false;
    }
    return os::reg_write_string(settings_key, never_record_value, never_record_text(text)) &&
           os::reg_flush(settings_key);
}

bool is_never_recorded(std::u16string_view number) {
    if (number.empty()) return false;
    for (const std::u16string& entry : never_record_numbers()) {
        if (phone_numbers_match(number, entry)) return true;
    }
    return false;
}
