#include "lang/language_names.h"

#include <array>
#include <cstdlib>

namespace lang {

namespace {

constexpr std::array<LanguageName, kLanguageNameCount> make_table() {
    std::array<LanguageName, kLanguageNameCount> t{};
    t[1] = {u"AR", u"ARABIC"};
    t[2] = {u"BG", u"BULGARIAN"};
    t[3] = {u"CA", u"CATALAN"};
    t[4] = {u"ZH", u"CHINESE"};
    t[5] = {u"CS", u"CZECH"};
    t[6] = {u"DA", u"DANISH"};
    t[7] = {u"DE", u"GERMAN"};
    t[8] = {u"EL", u"GREEK"};
    t[9] = {u"EN", u"ENGLISH"};
    t[10] = {u"ES", u"SPANISH"};
    t[11] = {u"FI", u"FINNISH"};
    t[12] = {u"FR", u"FRENCH"};
    t[13] = {u"HE", u"HEBREW"};
    t[14] = {u"HU", u"HUNGARIAN"};
    t[15] = {u"IS", u"ICELANDIC"};
    t[16] = {u"IT", u"ITALIAN"};
    t[17] = {u"JA", u"JAPANESE"};
    t[18] = {u"KO", u"KOREAN"};
    t[19] = {u"NL", u"DUTCH"};
    t[20] = {u"NO", u"NORWEGIAN"};
    t[21] = {u"PL", u"POLISH"};
    t[22] = {u"PT", u"PORTUGUESE"};
    t[24] = {u"RO", u"ROMANIAN"};
    t[25] = {u"RU", u"RUSSIAN"};
    t[26] = {u"HR", u"CROATIAN"};
    t[27] = {u"SK", u"SLOVAK"};
    t[28] = {u"SQ", u"ALBANIAN"};
    t[29] = {u"SV", u"SWEDISH"};
    t[30] = {u"TH", u"THAI"};
    t[31] = {u"TR", u"TURKISH"};
    t[32] = {u"UR", u"URDU"};
    t[33] = {u"ID", u"INDONESIAN"};
    t[34] = {u"UK", u"UKRAINIAN"};
    t[35] = {u"BE", u"BYELORUSSIAN"};
    t[36] = {u"SL", u"SLOVENIAN"};
    t[37] = {u"ET", u"ESTONIAN"};
    t[38] = {u"", u"LATVIAN"};
    t[39] = {u"LT", u"LITHUANIAN"};
    t[41] = {u"FA", u"PERSIAN"};
    t[42] = {u"VI", u"VIETNAMESE"};
    t[43] = {u"HY", u"ARMENIAN"};
    t[44] = {u"AZ", u"AZERBAIJANI"};
    t[45] = {u"EU", u"BASQUE"};
    t[47] = {u"MK", u"MACEDONIAN"};
    t[54] = {u"AF", u"AFRIKAANS"};
    t[55] = {u"KA", u"GEORGIAN"};
    t[56] = {u"FO", u"FAROESE"};
    t[57] = {u"HI", u"HINDI"};
    t[62] = {u"MS", u"MALAY"};
    t[63] = {u"KK", u"KAZAKH"};
    t[65] = {u"SW", u"SWAHILI"};
    t[67] = {u"UZ", u"UZBEK"};
    t[68] = {u"TT", u"TATAR"};
    t[69] = {u"", u"BENGALI"};
    t[70] = {u"PA", u"PUNJABI"};
    t[71] = {u"GU", u"GUJARATI"};
    t[72] = {u"OR", u"ORIYA"};
    t[73] = {u"TA", u"TAMIL"};
    t[74] = {u"TE", u"TELUGU"};
    t[75] = {u"KN", u"KANNADA"};
    t[76] = {u"ML", u"MALAYALAM"};
    t[77] = {u"AS", u"ASSAMESE"};
    t[78] = {u"MR", u"MARATHI"};
    t[79] = {u"SA", u"SANSKRIT"};
    t[89] = {u"SD", u"SINDHI"};
    t[96] = {u"KS", u"KASHMIRI"};
    t[97] = {u"NE", u"NEPALI"};
    return t;
}

constexpr std::array<LanguageName, kLanguageNameCount> kTable = make_table();

// Locale languages whose code the table lacks or spells differently.
struct Alias {
    std::string_view code;
    uint32_t id;
};
constexpr Alias kAliases[] = {
    {"lv", 38}, {"bn", 69},  // the table keeps no code for these two
    {"nb", 20}, {"nn", 20},  // both written Norwegians
    {"iw", 13}, {"in", 33},  // old ISO codes still seen in locale names
};

char lower_ascii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

LanguageName language_name(uint32_t language_id) {
    const uint32_t primary = language_id & 0x3FF;
    if (primary >= kLanguageNameCount) return {};
    return kTable[primary];
}

uint32_t primary_language_of_locale(std::string_view locale) {
    // "language[_territory][.codeset][@modifier]"; only the language matters here.
    const size_t end = locale.find_first_of("_.@");
    std::string code(locale.substr(0, end));
    for (char& c : code) c = lower_ascii(c);
    if (code.size() < 2 || code.size() > 3) return 0;
    for (const Alias& alias : kAliases) {
        if (alias.code == code) return alias.id;
    }
    if (code.size() != 2) return 0;
    for (uint32_t id = 1; id < kLanguageNameCount; ++id) {
        const std::u16string_view table_code = kTable[id].code;
        if (table_code.size() == 2 && lower_ascii(static_cast<char>(table_code[0])) == code[0] &&
            lower_ascii(static_cast<char>(table_code[1])) == code[1]) {
            return id;
        }
    }
    return 0;
}

uint32_t user_default_language() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value != nullptr && *value != '\0') return primary_language_of_locale(value);
    }
    return 0;
}

std::u16string system_language_name() { return std::u16string(language_name(user_default_language()).name); }

}  // namespace lang
