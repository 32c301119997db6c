#include "tests/lang/fuzz/key_value_fuzz_entry.h"

#include <string_view>

#include "lang/key_value_file.h"

int key_value_fuzz_one(const uint8_t* data, size_t size) {
    const lang::DecodedText decoded =
        lang::decode_key_value_bytes(std::string_view(reinterpret_cast<const char*>(data), size));
    if (!decoded.ok && !decoded.text.empty()) __builtin_trap();
    if (!decoded.ok && decoded.problems.empty()) __builtin_trap();
    const lang::ParseResult parsed = lang::parse_key_values(decoded.text);
    for (const auto& [key, value] : parsed.entries) {
        if (key.empty() || key.size() > lang::kMaxEntryLength || value.size() > lang::kMaxEntryLength) __builtin_trap();
        if (key.find_first_of(u"=\r\n") != std::u16string::npos) __builtin_trap();
        if (value.find_first_of(u"\r\n") != std::u16string::npos) __builtin_trap();
        for (char16_t c : key) {
            if (lang::is_key_value_space(c)) __builtin_trap();
        }
    }
    return 0;
}
