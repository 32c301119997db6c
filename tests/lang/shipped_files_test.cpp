// The language files and the key map that ship beside the programs.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>

#include "lang/key_value_file.h"
#include "lang/language.h"
#include "lang/text_keys.h"
#include "os/path.h"
#include "os/text.h"
#include "skin/skin_dump.h"
#include "tests/lang/lang_test_support.h"
#include "tests/os/temp_root.h"

namespace {

const std::u16string kBin = os::from_utf8(QUILLON_BIN_DIR);

// The "text" attributes of a compiled skin that name language keys: texts made only of letters,
// digits and underscores with at least one letter (times, numbers and sentences show as they are).
std::set<std::u16string> skin_text_keys(const std::string& skin) {
    std::set<std::u16string> keys;
    std::ifstream in(skin, std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const SkinDump dump = dump_skin(std::move(bytes));
    EXPECT_TRUE(dump.ok) << skin;
    std::istringstream lines(dump.text);
    std::string line;
    const std::string property = "string text ";
    while (std::getline(lines, line)) {
        const size_t at = line.find_first_not_of(' ');
        if (at == std::string::npos || line.compare(at, property.size(), property) != 0) continue;
        std::string text = line.substr(at + property.size());
        if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
        bool letter = false, word = !text.empty();
        for (char c : text) {
            letter = letter || std::isalpha(static_cast<unsigned char>(c));
            word = word && (std::isalnum(static_cast<unsigned char>(c)) || c == '_');
        }
        if (word && letter) keys.insert(os::from_utf8(text));
    }
    return keys;
}

}  // namespace

TEST(ShippedLanguages, EveryFileHasEveryKey) {
    const std::vector<std::u16string> files = Language(kBin).files();
    std::set<std::u16string> names;
    for (const std::u16string& path : files) names.insert(os::title_of(path));
    for (const char16_t* name : {u"english", u"russian", u"german"})
        EXPECT_EQ(names.count(name), 1u) << os::to_utf8(name);

    for (const std::u16string& path : files) {
        SCOPED_TRACE(os::to_utf8(path));
        const lang::KeyValueFile file = lang::read_key_value_file(path);
        ASSERT_TRUE(file.opened);
        EXPECT_EQ(file.encoding, lang::TextEncoding::Utf16);
        EXPECT_TRUE(file.problems.empty());
        EXPECT_TRUE(file.duplicates.empty());
        for (const std::u16string& key : lang::missing_keys(file.entries))
            ADD_FAILURE() << "missing " << os::to_utf8(key);
        for (const std::u16string& key : lang::unknown_keys(file.entries))
            ADD_FAILURE() << "unknown " << os::to_utf8(key);
        for (const std::u16string& key : lang::keys_lacking_variables(file.entries)) {
            ADD_FAILURE() << "variable lost in " << os::to_utf8(key);
        }
        for (const auto& [key, value] : file.entries) {
            EXPECT_FALSE(value.empty()) << os::to_utf8(key);
            EXPECT_EQ(value.find(u'\uFFFD'), std::u16string::npos) << os::to_utf8(key);
        }
    }
}

TEST(ShippedLanguages, SkinTextsAreKnownKeys) {
    // A text added to a skin must be added to the key table and so to every language file.
    for (const char* skin : {"default.skin", "splash.skin"}) {
        const std::set<std::u16string> keys = skin_text_keys(std::string(QUILLON_BIN_DIR) + "/skins/bin/" + skin);
        for (const std::u16string& key : keys) {
            EXPECT_NE(lang::find_text_key(key), nullptr) << skin << ": " << os::to_utf8(key);
        }
    }
    EXPECT_FALSE(skin_text_keys(std::string(QUILLON_BIN_DIR) + "/skins/bin/default.skin").empty());
    for (const char16_t* key : {u"Sorry_card_problem", u"Sorry_no_memory", u"Sorry_too_slow_device", u"NoSkins",
                                u"Confirm_deleting", u"skin_ProgramName", u"Menu_MainMemory"}) {
        EXPECT_NE(lang::find_text_key(key), nullptr) << os::to_utf8(key);
    }
}

TEST(ShippedLanguages, StartsInTheLocaleLanguage) {
    TempRoot root;
    lang_test::ScopedEnv messages("LC_MESSAGES", nullptr);
    lang_test::ScopedEnv lang_variable("LANG", nullptr);
    const std::pair<const char*, const char16_t*> cases[] = {
        {"ru_RU.UTF-8", u"Отмена"}, {"de_DE.UTF-8", u"Abbrechen"}, {"en_US.UTF-8", u"Cancel"}, {"fr_FR", u"Cancel"}};
    for (const auto& [locale, cancel] : cases) {
        lang_test::ScopedEnv all("LC_ALL", locale);
        Language language(kBin);
        ASSERT_TRUE(language.load_startup_language()) << locale;
        EXPECT_EQ(language.translate(u"Cancel"), cancel) << locale;
        EXPECT_EQ(language.translate(u"skin_ProgramName"), u"Quillon Touch");
    }
    // Counts read right whatever the number: the texts carry the number as a figure.
    Language russian(kBin);
    ASSERT_TRUE(russian.load(kBin + u"/russian.lng"));
    EXPECT_NE(russian.translate(u"Confirm_deleting").find(u"%count%"), std::u16string::npos);
}

TEST(ShippedLanguages, KeyboardMapHasLatinCyrillicAndDigits) {
    const lang::KeyValueFile keyboard = lang::read_key_value_file(kBin + u"/keyboard.txt");
    ASSERT_TRUE(keyboard.opened);
    EXPECT_EQ(keyboard.encoding, lang::TextEncoding::Utf16);
    const std::pair<char16_t, std::u16string_view> expected[] = {
        {u'2', u"2abcабвг"}, {u'3', u"3defдежзё"}, {u'4', u"4ghiийкл"}, {u'5', u"5jklмноп"},
        {u'6', u"6mnoрсту"}, {u'7', u"7pqrsфхцч"}, {u'8', u"8tuvшщъы"}, {u'9', u"9wxyzьэюя"}};
    for (const auto& [key, letters] : expected) {
        const auto it = keyboard.entries.find(std::u16string(1, key));
        ASSERT_NE(it, keyboard.entries.end()) << static_cast<char>(key);
        for (char16_t c : letters) EXPECT_NE(it->second.find(c), std::u16string::npos) << static_cast<char>(key);
    }
    // Every letter of both alphabets is on exactly one key.
    std::u16string all;
    for (const auto& [key, value] : keyboard.entries) all += value;
    for (char16_t c = u'a'; c <= u'z'; ++c) EXPECT_EQ(std::count(all.begin(), all.end(), c), 1) << static_cast<char>(c);
    for (char16_t c = u'а'; c <= u'я'; ++c) EXPECT_EQ(std::count(all.begin(), all.end(), c), 1) << int(c);
    for (const auto& [key, value] : keyboard.entries) {
        EXPECT_EQ(key.size(), 1u);
        EXPECT_EQ(value, os::lower(value));
    }
}
