#pragma once
// A fresh QUILLON_ROOT for one test (registry, documents, cards and log all live in it), and the
// small file helpers the tests around the registry and the log share.
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "os/registry.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"

using test_support::ScopedEnv;
using test_support::TempFolder;
using test_support::TempRoot;

inline constexpr std::u16string_view kKorvel = u"HKEY_CURRENT_USER\\Software\\Korvel";

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// The log file's text after its byte-order mark; "<no BOM>" marks a file that lacks one.
inline std::u16string read_log_text(const std::string& path) {
    const std::string bytes = read_bytes(path);
    if (bytes.size() < 2 || bytes.substr(0, 2) != "\xFF\xFE") return u"<no BOM>";
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text +=
            static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) | static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}
