#include "skin/properties.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "os/text.h"
#include "skin/skin_format.h"
#include "tests/skin/skin_test_support.h"

using skin_test::compile;
using skin_test::temp_folder;

namespace {
const DisplayInfo kLowRes{240, 320, 96, 0};
const DisplayInfo kHighRes{480, 640, 192, 0};

std::vector<uint8_t> empty_skin() {
    std::vector<uint8_t> bytes(skin_format::kHeaderSize, 0);
    const char16_t magic[4] = {0x0421, 0x043A, 0x0438, 0x043D};
    for (int i = 0; i < 4; ++i) {
        bytes[2 * i] = static_cast<uint8_t>(magic[i]);
        bytes[2 * i + 1] = static_cast<uint8_t>(magic[i] >> 8);
    }
    for (int i = 0; i < 4; ++i) bytes[skin_format::kRootOffset + i] = 0xFF;
    return bytes;
}

const char* kSource = R"(
element FormMain {
    string id FormMain
    int negative -7
    int cache 1
    point border_min 10 -3
    color color #FF8000
    string text "Hello \"world\""
    font font 14 1 0 1 DejaVu Sans
    picture src pic 1 2 3 4 7 8 5 6 flag
    child {
        string id btnRecord
        string type button
    }
    child {
        string id btn
        string type node
    }
}
element btnRecord {
    int value 2
}
element btn {
    int value 1
}
)";
}  // namespace

TEST(Properties, EmptyAndBrokenHeaders) {
    Properties properties;
    EXPECT_FALSE(properties.is_loaded());
    EXPECT_TRUE(properties.load_skin_bytes(empty_skin(), u"/nowhere/empty.skin", kLowRes));
    EXPECT_FALSE(properties.find_element(u"FormMain"));
    EXPECT_FALSE(properties.find_element(u""));

    // One byte short of a header, or a different first code unit: refused, the old skin stays.
    const auto good = compile(kSource, "");
    ASSERT_FALSE(good.empty());
    skin_test::write_file(temp_folder() + "/pic.bmp", skin_test::make_bmp(8, 8, std::vector<Pixel>(64, 0x1234)));
    skin_test::write_file(temp_folder() + "/good.skin", good);
    ASSERT_TRUE(properties.load_skin(os::from_utf8(temp_folder() + "/good.skin"), kLowRes));
    auto short_skin = empty_skin();
    short_skin.pop_back();
    EXPECT_FALSE(properties.load_skin_bytes(short_skin, u"/x.skin", kLowRes));
    auto wrong_magic = empty_skin();
    wrong_magic[0] ^= 1;
    EXPECT_FALSE(properties.load_skin_bytes(wrong_magic, u"/x.skin", kLowRes));
    EXPECT_FALSE(properties.load_skin(u"/no/such/file.skin", kLowRes));
    ASSERT_TRUE(properties.find_element(u"FormMain"));

    // A missing picture fails the whole load and keeps the previous skin too.
    std::filesystem::create_directories(temp_folder() + "/other");
    skin_test::write_file(temp_folder() + "/other/good.skin", good);
    EXPECT_FALSE(properties.load_skin(os::from_utf8(temp_folder() + "/other/good.skin"), kLowRes));
    EXPECT_TRUE(properties.find_element(u"btn"));
}

TEST(Properties, CompiledSkinReadsBackPropertyByProperty) {
    skin_test::write_file(temp_folder() + "/pic.bmp", skin_test::make_bmp(8, 8, std::vector<Pixel>(64, 0x1234)));
    skin_test::write_file(temp_folder() + "/main.skin", compile(kSource));
    for (const DisplayInfo& display : {kLowRes, kHighRes}) {
        Properties properties;
        ASSERT_TRUE(properties.load_skin(os::from_utf8(temp_folder() + "/main.skin"), display));
        const int32_t scale = display.dpi_y >= 192 ? 2 : 1;
        EXPECT_EQ(properties.hi_res(), scale - 1);
        const auto form = properties.find_element(u"FormMain");
        ASSERT_TRUE(form);
        EXPECT_EQ(properties.get_int(*form, u"negative", 0), -7);
        EXPECT_EQ(properties.get_int(*form, u"cache", 0), 1);
        EXPECT_EQ(properties.get_int(*form, u"missing", 42), 42);
        // Points are doubled on a 192-dpi screen; defaults and integers never are.
        EXPECT_EQ(properties.get_point(*form, u"border_min", {}), (Point{10 * scale, -3 * scale}));
        EXPECT_EQ(properties.get_point(*form, u"border_max", {5, 7}), (Point{5, 7}));
        EXPECT_EQ(properties.get_color(*form, u"color", {}), (Color{255, 128, 0, 255}));
        EXPECT_EQ(properties.get_string(*form, u"text", u""), u"Hello \"world\"");
        EXPECT_EQ(properties.get_string(*form, u"textual", u"dflt"), u"dflt");
        // The same name in another table is not found.
        EXPECT_EQ(properties.get_int(*form, u"text", -1), -1);
        auto font = properties.get_font(*form, u"font", nullptr);
        ASSERT_TRUE(font);
        EXPECT_EQ(font->spec().size, 14);
        EXPECT_EQ(font->spec().scale, scale);
        EXPECT_TRUE(font->spec().bold);
        EXPECT_FALSE(font->spec().italic);
        EXPECT_TRUE(font->spec().underline);
        EXPECT_EQ(font->spec().face, u"DejaVu Sans");
        const PictureRef picture = properties.get_picture(*form, u"src", {});
        ASSERT_TRUE(picture.bitmap);
        EXPECT_EQ(picture.bitmap->width(), 8);
        EXPECT_EQ(picture.bitmap->at(3, 3), 0x1234);
        EXPECT_EQ(picture.p0, (Point{1 * scale, 2 * scale}));
        EXPECT_EQ(picture.p1, (Point{3 * scale, 4 * scale}));
        EXPECT_EQ(picture.p2, (Point{7 * scale, 8 * scale}));
        EXPECT_EQ(picture.p3, (Point{5 * scale, 6 * scale}));
        EXPECT_EQ(picture.scale_shift, scale - 1);
        EXPECT_TRUE(picture.flag);

        ASSERT_EQ(properties.child_count(*form), 2u);
        const auto first = properties.child(*form, 0);
        ASSERT_TRUE(first);
        EXPECT_EQ(properties.get_string(*first, u"id", u""), u"btnRecord");
        EXPECT_EQ(properties.get_string(*properties.child(*form, 1), u"id", u""), u"btn");
        EXPECT_FALSE(properties.child(*form, 2));

        // "btn" sorts before "btnRecord": both are found in the directory.
        EXPECT_EQ(properties.get_int(*properties.find_element(u"btn"), u"value", 0), 1);
        EXPECT_EQ(properties.get_int(*properties.find_element(u"btnRecord"), u"value", 0), 2);
        EXPECT_FALSE(properties.find_element(u"bt"));
        EXPECT_FALSE(properties.find_element(u"btnRecordX"));
        const auto ids = properties.top_level_elements();
        ASSERT_EQ(ids.size(), 3u);
        EXPECT_EQ(ids[0].first, u"FormMain");
        EXPECT_EQ(ids[1].first, u"btn");
        EXPECT_EQ(ids[2].first, u"btnRecord");
    }
}

TEST(Properties, TranslateAndReloadListeners) {
    Properties properties;
    properties.set_language_table({{u"Record", u"Aufnehmen"}});
    EXPECT_EQ(properties.translate(u"Record"), u"Aufnehmen");
    EXPECT_EQ(properties.translate(u"record"), u"record");
    struct Listener : ReloadListener {
        int calls = 0;
        void on_reload_skin(Properties&) override { ++calls; }
    } listener;
    properties.add_reload_listener(&listener);
    properties.add_reload_listener(&listener);
    properties.send_reload_skin();
    EXPECT_EQ(listener.calls, 1);
    properties.remove_reload_listener(&listener);
    properties.send_reload_skin();
    EXPECT_EQ(listener.calls, 1);
}

TEST(FontSpec, ParsesDescriptionOverDefaults) {
    FontSpec spec;
    parse_font_description(u"  -9 +1 0 -2   Liberation Sans Narrow ", spec);
    EXPECT_EQ(spec.size, -9);
    EXPECT_TRUE(spec.bold);
    EXPECT_FALSE(spec.italic);
    EXPECT_TRUE(spec.underline);
    EXPECT_EQ(spec.face, u"Liberation Sans Narrow ");
    FontSpec partial;
    parse_font_description(u"20 1 x", partial);
    EXPECT_EQ(partial.size, 20);
    EXPECT_TRUE(partial.bold);
    EXPECT_FALSE(partial.italic);
    EXPECT_EQ(partial.face, u"Tahoma");
}
