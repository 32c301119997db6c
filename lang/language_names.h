#pragma once
// The language-name table, indexed by the platform's primary language identifier (the low 10 bits
// of a language identifier), and the user's language taken from the environment's locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace lang {

// Identifiers 0 … 98 have an entry; most have a name, a few no ISO 639-1 code.
inline constexpr uint32_t kLanguageNameCount = 99;

struct LanguageName {
    std::u16string_view code;  // ISO 639-1 in capitals, or empty
    std::u16string_view name;  // in capitals, or empty
};

// An identifier above 98 (after taking its low 10 bits) gives an empty entry.
LanguageName language_name(uint32_t language_id);

// The primary language identifier of a POSIX locale name ("ru_RU.UTF-8", "de", "pt_BR@euro");
// 0 for "C", "POSIX", an empty name or a language the table does not know.
uint32_t primary_language_of_locale(std::string_view locale);

// The user's primary language identifier from LC_ALL, else LC_MESSAGES, else LANG (the first
// that is set and not empty, as the C library chooses the language of messages).
uint32_t user_default_language();

// The table's name for the user's language: empty when the language has none.
std::u16string system_language_name();

}  // namespace lang
