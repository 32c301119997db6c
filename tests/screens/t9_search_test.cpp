// The search's matching rule on its edge cases, with a hand-made key map and with the shipped one.
#include "screens/t9_search.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/support/scoped_env.h"

namespace {

using screens::t9_match;
using screens::T9KeyMap;

T9KeyMap abc_map() {
    T9KeyMap map;
    map.set(u'2', u"abc");
    map.set(u'3', u"def");
    map.set(u'8', u"tuv");
    return map;
}

TEST(T9Search, MatchesOnlyAtTheStartOfAWord) {
    const T9KeyMap map = abc_map();
    EXPECT_EQ(t9_match(u"2", u"Bob", map), 0u);
    EXPECT_EQ(t9_match(u"2", u"the cat", map), 4u);
    EXPECT_EQ(t9_match(u"2", u"xabc", map), std::nullopt);
    // Each of the separators starts a word; a letter or digit does not.
    EXPECT_EQ(t9_match(u"2", u"x(a", map), 2u);
    EXPECT_EQ(t9_match(u"2", u"x\"b", map), 2u);
    EXPECT_EQ(t9_match(u"2", u"x'c", map), 2u);
    EXPECT_EQ(t9_match(u"2", u"x\\c", map), 2u);
    EXPECT_EQ(t9_match(u"2", u"x9c", map), std::nullopt);
    // Several keys: one letter each, from the start of one word.
    EXPECT_EQ(t9_match(u"28", u"the cat", map), std::nullopt);
    EXPECT_EQ(t9_match(u"22", u"the cat", map), 4u);
    EXPECT_EQ(t9_match(u"228", u"the cat", map), 4u);
}

TEST(T9Search, EdgesOfTheFilterAndTheText) {
    const T9KeyMap map = abc_map();
    EXPECT_EQ(t9_match(u"", u"Bob", map), std::nullopt);
    // Longer than the text: never, even where the text's letters all match.
    EXPECT_EQ(t9_match(u"2222", u"abc", map), std::nullopt);
    EXPECT_EQ(t9_match(u"222", u"abc", map), 0u);
    // A key missing from the map stands for itself; spaces never start a match.
    EXPECT_EQ(t9_match(u"5", u"call 555", map), 5u);
    EXPECT_EQ(t9_match(u" ", u"a b", map), std::nullopt);
    // Case is ignored.
    EXPECT_EQ(t9_match(u"3", u"x DEF", map), 2u);
}

TEST(T9Search, ShippedKeyMapCoversEveryShippedLanguage) {
    test_support::ScopedEnv env;
    env.set("QUILLON_APP_DIR", QUILLON_BIN_DIR);
    T9KeyMap map;
    ASSERT_TRUE(map.load(u"%app_path%/keyboard.txt"));
    EXPECT_EQ(t9_match(u"2", u"Über Äpfel", map), 5u);  // Ä lower-cased to ä, on key 2
    EXPECT_EQ(t9_match(u"8", u"Über", map), 0u);
    EXPECT_EQ(t9_match(u"2", u"Борис", map), 0u);
    EXPECT_EQ(t9_match(u"3", u"Ёлка", map), 0u);
    EXPECT_EQ(t9_match(u"2", u"8 Mar", map), std::nullopt);
    EXPECT_EQ(t9_match(u"8", u"8 Mar", map), 0u);
    T9KeyMap missing;
    EXPECT_FALSE(missing.load(u"%app_path%/no-such-keyboard.txt"));
    EXPECT_EQ(t9_match(u"2", u"abc", missing), std::nullopt);
}

}  // namespace
