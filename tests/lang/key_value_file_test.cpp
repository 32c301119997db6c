#include "lang/key_value_file.h"

#include <gtest/gtest.h>

#include "os/log.h"
#include "os/registry.h"
#include "tests/lang/lang_test_support.h"
#include "tests/os/temp_root.h"

using lang::parse_key_values;
using lang_test::TempFolder;

TEST(KeyValueFormat, LinesKeysAndValues) {
    const auto parsed = parse_key_values(
        u"Trailing=word \r\n"
        u"Spaced   text after spaces\n"
        u"Around = value\n"
        u"  \t Indented=x\n"
        u"=no key\n"
        u"Empty=\n"
        u"Bare\n"
        u"Repeated=first\r"
        u"Repeated=second\n"
        u"Equals=a=b\n"
        u"Last=no line end");
    const lang::TextTable& e = parsed.entries;
    EXPECT_EQ(e.at(u"Trailing"), u"word ");  // not trimmed
    EXPECT_EQ(e.at(u"Spaced"), u"text after spaces");
    EXPECT_EQ(e.at(u"Around"), u"= value");  // the value begins at the "="
    EXPECT_EQ(e.at(u"Indented"), u"x");
    EXPECT_EQ(e.at(u"Empty"), u"");
    EXPECT_EQ(e.at(u"Bare"), u"");
    EXPECT_EQ(e.at(u"Repeated"), u"second");
    EXPECT_EQ(e.at(u"Equals"), u"a=b");
    EXPECT_EQ(e.at(u"Last"), u"no line end");
    EXPECT_EQ(e.count(u""), 0u);
    EXPECT_EQ(e.size(), 9u);
    EXPECT_EQ(parsed.duplicates, std::vector<std::u16string>{u"Repeated"});
    // The platform's white space, not only ASCII: a no-break space ends a key too.
    EXPECT_EQ(parse_key_values(u"Key\u00A0value").entries.at(u"Key"), u"value");
    EXPECT_TRUE(parse_key_values(u"").entries.empty());
    EXPECT_TRUE(parse_key_values(u" \r\n\t\n").entries.empty());
}

TEST(KeyValueFormat, Encodings) {
    // UTF-16LE with its mark: any script.
    auto utf16 = lang::decode_key_value_bytes(lang_test::utf16_bytes(u"Cancel=Отмена\r\n"));
    ASSERT_TRUE(utf16.ok);
    EXPECT_EQ(utf16.encoding, lang::TextEncoding::Utf16);
    EXPECT_EQ(parse_key_values(utf16.text).entries.at(u"Cancel"), u"Отмена");
    EXPECT_TRUE(utf16.problems.empty());

    // Without a mark each byte is one character.
    auto eight = lang::decode_key_value_bytes(
        "Cancel=Abbrechen\r\nSmall=gr\xF6\xDF"
        "e\n");
    ASSERT_TRUE(eight.ok);
    EXPECT_EQ(eight.encoding, lang::TextEncoding::EightBit);
    EXPECT_EQ(parse_key_values(eight.text).entries.at(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(parse_key_values(eight.text).entries.at(u"Small"), u"gr\u00F6\u00DFe");
    EXPECT_EQ(eight.problems.size(), 1u);  // told, for lang-check, but loaded

    // What Linux editors write with a mark is read as UTF-8 rather than as three odd characters.
    auto utf8 = lang::decode_key_value_bytes(
        "\xEF\xBB\xBF"
        "Cancel=Отмена\n");
    ASSERT_TRUE(utf8.ok);
    EXPECT_EQ(parse_key_values(utf8.text).entries.at(u"Cancel"), u"Отмена");

    // Big-endian, and UTF-16 that lost its mark, are refused rather than read as nonsense.
    EXPECT_FALSE(lang::decode_key_value_bytes(std::string("\xFE\xFF\0A\0=\0b", 8)).ok);
    EXPECT_FALSE(lang::decode_key_value_bytes(std::string("A\0=\0b\0", 6)).ok);

    // A file cut in the middle of a character keeps everything before the cut.
    std::string cut = lang_test::utf16_bytes(u"One=1\nTwo=2");
    cut.pop_back();
    auto truncated = lang::decode_key_value_bytes(cut);
    ASSERT_TRUE(truncated.ok);
    EXPECT_EQ(truncated.problems.size(), 1u);
    const auto entries = parse_key_values(truncated.text).entries;
    EXPECT_EQ(entries.at(u"One"), u"1");
    EXPECT_EQ(entries.at(u"Two"), u"");
    EXPECT_TRUE(lang::decode_key_value_bytes("\xFF\xFE").ok);  // only the mark: an empty table
}

TEST(KeyValueFile, DamagedFilesLoadWhatTheyCanOrAreRefusedWithOneLogLine) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    TempFolder folder;
    const std::string log_file = os::to_utf8(os::log_file_path());
    auto log_lines = [&] {
        size_t count = 0;
        const std::u16string text = read_log_text(log_file);
        for (size_t at = text.find(u"key-value file"); at != std::u16string::npos;
             at = text.find(u"key-value file", at + 1)) {
            ++count;
        }
        return count;
    };

    // A megabyte line among good ones: the good lines load, the giant is dropped.
    std::u16string text = u"Before=1\nHuge=" + std::u16string(1024 * 1024, u'x') + u"\nAfter=2\n";
    lang_test::write_utf16(folder.path("huge.lng"), text);
    auto huge = lang::read_key_value_file(os::from_utf8(folder.path("huge.lng")));
    ASSERT_TRUE(huge.opened);
    EXPECT_EQ(huge.entries.size(), 2u);
    EXPECT_EQ(huge.entries.at(u"After"), u"2");
    EXPECT_EQ(log_lines(), 1u);

    // Past the size limit: refused unread.
    lang_test::write_bytes(folder.path("big.lng"), std::string(lang::kMaxKeyValueFileBytes + 1, 'a'));
    EXPECT_FALSE(lang::read_key_value_file(os::from_utf8(folder.path("big.lng"))).opened);
    EXPECT_EQ(log_lines(), 2u);

    lang_test::write_bytes(folder.path("be.lng"), std::string("\xFE\xFF\0A", 4));
    EXPECT_FALSE(lang::read_key_value_file(os::from_utf8(folder.path("be.lng"))).opened);
    EXPECT_EQ(log_lines(), 3u);

    // A missing file is part of the normal search and is not logged.
    EXPECT_FALSE(lang::read_key_value_file(os::from_utf8(folder.path("none.lng"))).opened);
    // A good file leaves no line.
    lang_test::write_bytes(folder.path("ok.lng"), "Key=Value\n");
    EXPECT_TRUE(lang::read_key_value_file(os::from_utf8(folder.path("ok.lng"))).opened);
    EXPECT_EQ(log_lines(), 3u);
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}

TEST(KeyValueFile, ArbitraryBytesNeverBreakTheParser) {
    // Seeded noise in every shape the decoder distinguishes; sanitizer builds watch the reads.
    uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int round = 0; round < 300; ++round) {
        std::string bytes(next() % 300, '\0');
        for (char& c : bytes) c = static_cast<char>(next() >> 24);
        if (round % 3 == 0 && bytes.size() >= 2) bytes[0] = '\xFF', bytes[1] = '\xFE';
        if (round % 3 == 1) std::erase(bytes, '\0');
        const auto decoded = lang::decode_key_value_bytes(bytes);
        const auto parsed = parse_key_values(decoded.text);
        for (const auto& [key, value] : parsed.entries) {
            EXPECT_FALSE(key.empty());
            EXPECT_EQ(key.find_first_of(u"\r\n="), std::u16string::npos);
            EXPECT_EQ(value.find_first_of(u"\r\n"), std::u16string::npos);
        }
    }
}
