#pragma once
// Language files written by the tests, in a fresh folder each.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "os/text.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace lang_test {

using test_support::TempFolder;

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// UTF-16LE with the byte-order mark, as the program's language files are.
inline std::string utf16_bytes(std::u16string_view text) {
    std::string bytes = "\xFF\xFE";
    for (char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    return bytes;
}

inline void write_utf16(const std::string& path, std::u16string_view text) { write_bytes(path, utf16_bytes(text)); }

using test_support::ScopedEnv;

}  // namespace lang_test
