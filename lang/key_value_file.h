#pragma once
// The key-value text format of the language files and "keyboard.txt": one "key=value" (or
// "key value") per line, no comments, no escapes, a later line replacing an earlier one.
//
// A file starting with FF FE is UTF-16LE; any other file is 8-bit text with one character per
// byte. These files come from translators and users, so reading guards against damaged input: a
// file past the size limit or in an encoding that cannot be read is refused, and a truncated file
// or an overlong entry loses only what cannot be read. Each refusal or loss is logged in one line.
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace lang {

using TextTable = std::map<std::u16string, std::u16string>;

// A language file is a few kilobytes; anything past this is not one.
inline constexpr size_t kMaxKeyValueFileBytes = 4 * 1024 * 1024;
// A key or value longer than this (in UTF-16 code units) cannot be a screen text; its entry is skipped.
inline constexpr size_t kMaxEntryLength = 4096;

enum class TextEncoding {
    Utf16,     // FF FE mark
    EightBit,  // no mark: each byte one character
    Utf8,      // EF BB BF mark: what editors on Linux write; read rather than shown as three odd characters
};

struct DecodedText {
    bool ok = false;  // false: the bytes are refused
    TextEncoding encoding = TextEncoding::EightBit;
    std::u16string text;
    // What was refused or lost, for the log and for translators' checks; empty when nothing was.
    std::vector<std::u16string> problems;
};

DecodedText decode_key_value_bytes(std::string_view bytes);

struct ParseResult {
    TextTable entries;
    std::vector<std::u16string> duplicates;  // keys set more than once, each listed once
    size_t skipped = 0;                      // entries dropped for their length
};

// Parses text into entries; a repeated key keeps its last value.
ParseResult parse_key_values(std::u16string_view text);

struct KeyValueFile {
    bool opened = false;  // false when the file cannot be read or is refused
    TextEncoding encoding = TextEncoding::EightBit;
    TextTable entries;
    std::vector<std::u16string> duplicates;
    std::vector<std::u16string> problems;
};

// Reads the whole file (path macros expanded). Logs one line when the file is refused or loses
// entries; a file that cannot be opened is not logged (missing files are expected while choosing).
KeyValueFile read_key_value_file(std::u16string_view path);

// The white space of the format, the platform's classification.
bool is_key_value_space(char16_t c);

}  // namespace lang
