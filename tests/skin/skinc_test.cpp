// The skin compiler: clear errors with file and line, and the default skins it builds.
#include <gtest/gtest.h>

#include "os/text.h"
#include "skin/properties.h"
#include "skin/skin_dump.h"
#include "tests/skin/skin_test_support.h"
#include "tools/quillon-skinc/skin_source.h"
#include "tools/quillon-skinc/skin_writer.h"

namespace {
std::string parse_error(const std::string& text) {
    SkinSource source;
    std::string error;
    if (parse_skin_source(text, "bad.src", source, error)) {
        std::vector<uint8_t> bytes;
        if (write_skin(source, "bad.src", bytes, error)) return "";
    }
    return error;
}
}  // namespace

TEST(SkinCompiler, ReportsFileAndLine) {
    EXPECT_EQ(parse_error("element A {\n  int x 1\n  int x 2\n}\n"),
              "bad.src:3: property 'x' of this kind is already set on line 2");
    EXPECT_EQ(parse_error("element A {\n  point p 1 40000\n}\n"), "bad.src:2: y 40000 out of range -32768..32767");
    EXPECT_EQ(parse_error("element A {\n  colour c 1 2 3\n}\n"),
              "bad.src:2: unknown property kind 'colour' (int, point, color, string, font, picture)");
    EXPECT_EQ(parse_error("element A {\n  child {\n}\n"), "bad.src:1: element is not closed with '}'");
    EXPECT_EQ(parse_error("element A {\n}\nelement A {\n}\n"), "bad.src:3: element 'A' defined twice");
    EXPECT_EQ(parse_error("element A {\n  string s \"open\n}\n"), "bad.src:2: text without its closing quote");
    EXPECT_EQ(parse_error("element A {\n  picture p x 0 0 9 9 5 5 4 4\n}\n"),
              "bad.src:2: picture corners must satisfy p0 <= p1 <= p3 <= p2 on both axes");
    EXPECT_EQ(parse_error("}\n"), "bad.src:1: '}' without an open element");
    EXPECT_EQ(parse_error("# only a comment\n"), "");
    // The same name in two kinds is allowed.
    EXPECT_EQ(parse_error("element A {\n  int x 1\n  string x one\n}\n"), "");
}

TEST(SkinCompiler, DumpRecompilesToTheSameSkin) {
    const std::string source = R"(
element Form {
    string text "tab\there \"q\""
    picture src pic 0 0 1 1 3 3 2 2 flag
    font font 9 0 1 0 DejaVu Sans
    point p -1 2
    color c 1 2 3
    int i -5
    child {
        string id kid
    }
}
element Another {
}
)";
    const auto bytes = skin_test::compile(source);
    const SkinDump dump = dump_skin(bytes);
    ASSERT_TRUE(dump.ok) << dump.text;
    EXPECT_EQ(skin_test::compile(dump.text), bytes);
}

TEST(SkinCompiler, InstalledSkinsHoldTheScreens) {
    Properties properties;
    const std::string folder = std::string(QUILLON_BIN_DIR) + "/skins/bin/";
    ASSERT_TRUE(properties.load_skin(os::from_utf8(folder + "splash.skin"), DisplayInfo{}));
    EXPECT_TRUE(properties.find_element(u"FormSplash"));
    ASSERT_TRUE(properties.load_skin(os::from_utf8(folder + "default.skin"), DisplayInfo{}));
    for (const char16_t* id : {u"FormMain", u"FormRecording", u"FormView", u"FormConfirmation", u"FormError",
                               u"FormEdit", u"Record", u"Menu", u"filtered_color", u"card_outgoing"}) {
        EXPECT_TRUE(properties.find_element(id)) << os::to_utf8(id);
    }
}
