#include "os/text.h"

#include <gtest/gtest.h>

TEST(Text, Utf8RoundTripKeepsSurrogatePairsAndMendsBrokenBytes) {
    const std::u16string text = u"Zoë 記録 \U0001F3A4";
    EXPECT_EQ(os::from_utf8(os::to_utf8(text)), text);
    EXPECT_EQ(os::to_utf8(u"\U0001F3A4"), "\xF0\x9F\x8E\xA4");
    EXPECT_EQ(os::from_utf8("a\xC3"), u"a\uFFFD");                         // truncated sequence
    EXPECT_EQ(os::to_utf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // lone surrogate
}

TEST(Text, NumbersAreDecimal) {
    EXPECT_EQ(os::to_text(0), u"0");
    EXPECT_EQ(os::to_text(-2147483648LL), u"-2147483648");
    EXPECT_EQ(os::to_text_unsigned(4294967295ULL), u"4294967295");
}

TEST(Text, JsonStringEscapesQuotesBackslashesAndControls) {
    EXPECT_EQ(os::json_string(u"a\"b\\c"), "\"a\\\"b\\\\c\"");
    EXPECT_EQ(os::json_string(u"line\nend\x1f"), "\"line\\u000aend\\u001f\"");
    EXPECT_EQ(os::json_string(u"Zoë"), "\"Zo\xC3\xAB\"");
}
