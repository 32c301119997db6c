// Skin files come from outside the program: broken ones must fail to load or read as defaults,
// never read outside the image, crash or hang.
#include <gtest/gtest.h>

#include "skin/bitmap.h"
#include "skin/properties.h"
#include "skin/skin_dump.h"
#include "skin/skin_format.h"
#include "tests/skin/skin_test_support.h"

using namespace skin_format;

namespace {
const DisplayInfo kDisplay{240, 320, 96, 0};

const char* kSource = R"(
element Form {
    string id Form
    string text hello
    int number 5
    color color 1 2 3
    child {
        string id inner
    }
}
)";

uint16_t get16(const std::vector<uint8_t>& b, uint32_t at) { return static_cast<uint16_t>(b[at] | (b[at + 1] << 8)); }
void put16(std::vector<uint8_t>& b, uint32_t at, uint16_t v) {
    b[at] = static_cast<uint8_t>(v);
    b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void put32(std::vector<uint8_t>& b, uint32_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
}

struct Loaded {
    std::vector<uint8_t> bytes;
    uint32_t entry = 0;   // the root directory entry
    uint32_t record = 0;  // its record
};

Loaded base() {
    Loaded loaded;
    loaded.bytes = skin_test::compile(kSource);
    loaded.entry = loaded.bytes[kRootOffset] | (loaded.bytes[kRootOffset + 1] << 8);
    loaded.record = loaded.entry + kEntryRecord;
    return loaded;
}
}  // namespace

TEST(BadSkin, IndexesPastTheirPoolsReadAsDefaults) {
    Loaded skin = base();
    // The string table's only entry points past the string pool.
    const uint32_t string_entry = skin.record + get16(skin.bytes, skin.record + 2 * static_cast<int>(Table::String));
    // "id" sorts before "text": patch the second entry.
    put16(skin.bytes, string_entry + 4 + 2, 999);
    Properties properties;
    ASSERT_TRUE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    const auto form = properties.find_element(u"Form");
    ASSERT_TRUE(form);
    EXPECT_EQ(properties.get_string(*form, u"text", u"fallback"), u"fallback");
    EXPECT_EQ(properties.get_string(*form, u"id", u""), u"Form");
    // Picture and font lookups on a skin without pictures or fonts.
    EXPECT_FALSE(properties.get_picture(*form, u"src", {}).bitmap);
    EXPECT_EQ(properties.get_font(*form, u"font", nullptr), nullptr);
}

TEST(BadSkin, TableBoundariesBeyondTheFileReadAsDefaults) {
    Loaded skin = base();
    put16(skin.bytes, skin.record + 12, 0xFFFF);  // end of the colour table
    Properties properties;
    ASSERT_TRUE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    const auto form = properties.find_element(u"Form");
    EXPECT_EQ(properties.get_color(*form, u"color", {9, 9, 9, 255}), (Color{9, 9, 9, 255}));
    EXPECT_EQ(properties.get_int(*form, u"number", 0), 5);
    // Boundaries out of order: the table is empty.
    put16(skin.bytes, skin.record + 2, 0);
    ASSERT_TRUE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    EXPECT_EQ(properties.get_int(*properties.find_element(u"Form"), u"number", -1), -1);
    // Lookups on records that are not records at all stay inside the image.
    for (uint32_t offset : {0u, 1u, 90u, static_cast<uint32_t>(skin.bytes.size()) - 3, 0xFFFFFFF0u}) {
        EXPECT_EQ(properties.get_int(SkinElement{offset}, u"number", 77), 77);
        properties.child_count(SkinElement{offset});
        properties.child(SkinElement{offset}, 0);
        properties.get_string(SkinElement{offset}, u"id", u"");
    }
}

TEST(BadSkin, BrokenTreesAreRefused) {
    Properties properties;
    {
        Loaded skin = base();
        // The child points back at its parent: a loop.
        put32(skin.bytes, skin.record + kRecordChildren, skin.record);
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    {
        Loaded skin = base();
        put32(skin.bytes, skin.record + kRecordChildren, static_cast<uint32_t>(skin.bytes.size()) - 4);
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    {
        Loaded skin = base();
        put32(skin.bytes, skin.entry + kEntryLeft, skin.entry);  // directory loop
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    {
        Loaded skin = base();
        put32(skin.bytes, kRootOffset, 0x7FFFFFF0);
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    {
        Loaded skin = base();
        put32(skin.bytes, kStringCount, 0xFFFFFFF0);  // more strings than the file holds
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    {
        Loaded skin = base();
        put16(skin.bytes, skin.record + kRecordChildCount, 0xFFFF);
        EXPECT_FALSE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
    }
    // Every truncation of a good skin loads or fails cleanly, and so does its dump.
    const Loaded skin = base();
    for (size_t length = 0; length <= skin.bytes.size(); ++length) {
        std::vector<uint8_t> prefix(skin.bytes.begin(), skin.bytes.begin() + static_cast<ptrdiff_t>(length));
        Properties truncated;
        if (truncated.load_skin_bytes(prefix, u"/x.skin", kDisplay)) {
            if (auto form = truncated.find_element(u"Form")) truncated.get_string(*form, u"text", u"");
        }
        dump_skin(prefix);
    }
    EXPECT_TRUE(properties.load_skin_bytes(skin.bytes, u"/x.skin", kDisplay));
}

TEST(BadSkin, AbsurdBitmapsAreRefusedBeforeAllocating) {
    auto bmp = skin_test::make_bmp(2, 2, {1, 2, 3, 4});
    auto patch32 = [](std::vector<uint8_t> b, size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        return b;
    };
    EXPECT_EQ(load_565_bytes(bmp.data(), bmp.size()).status, BitmapLoad::Status::Ok);
    EXPECT_EQ(load_565_bytes(patch32(bmp, 18, 1u << 30).data(), bmp.size()).status, BitmapLoad::Status::BadSize);
    EXPECT_EQ(load_565_bytes(patch32(bmp, 22, 0x80000000u).data(), bmp.size()).status, BitmapLoad::Status::BadSize);
    // Plausible dimensions but far more pixels than the file holds.
    EXPECT_EQ(load_565_bytes(patch32(bmp, 18, 4000).data(), bmp.size()).status, BitmapLoad::Status::BadSize);
    EXPECT_EQ(load_565_bytes(patch32(bmp, 10, 0xFFFFFFFF).data(), bmp.size()).status, BitmapLoad::Status::BadSize);
    EXPECT_EQ(load_565_bytes(bmp.data(), 20).status, BitmapLoad::Status::CannotRead);
}
