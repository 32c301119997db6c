#include "audio/mp3/id3_tag.h"

#include <gtest/gtest.h>

#include <vector>

#include "os/file.h"
#include "tests/audio_wav/format_test_support.h"

namespace {

using Bytes = std::vector<uint8_t>;

TEST(Id3Tag, AsciiTextIsStoredAsSingleBytes) {
    Id3Tag tag;
    tag.set_text("TIT2", u"Hello");
    ASSERT_NE(tag.find("TIT2"), nullptr);
    EXPECT_EQ(tag.find("TIT2")->body, (Bytes{0x00, 0x48, 0x65, 0x6C, 0x6C, 0x6F}));
    // A character 0 ends the text.
    tag.set_text("TIT2", std::u16string(u"Hi\0there", 8));
    EXPECT_EQ(tag.find("TIT2")->body, (Bytes{0x00, 'H', 'i'}));
}

TEST(Id3Tag, OtherTextIsUtf16WithByteOrderMark) {
    Id3Tag tag;
    tag.set_text("TPE1", u"Caf\u00e9");
    EXPECT_EQ(tag.find("TPE1")->body, (Bytes{0x01, 0xFF, 0xFE, 'C', 0, 'a', 0, 'f', 0, 0xE9, 0x00}));
    // A control character is outside 32..127 as well.
    tag.set_text("TALB", u"a\tb");
    EXPECT_EQ(tag.find("TALB")->body.size(), 2u * 3u + 3u);
    tag.set_text("TCON", u"\u041a");
    EXPECT_EQ(tag.find("TCON")->body, (Bytes{0x01, 0xFF, 0xFE, 0x1A, 0x04}));
}

TEST(Id3Tag, FramesAreReplacedInPlaceAndRemovedByEmptyText) {
    Id3Tag tag;
    tag.set_text("TPE1", u"Artist");
    tag.set_text("TIT2", u"Title");
    tag.set_text("TALB", u"Record");
    tag.set_text("TPE1", u"Other");
    ASSERT_EQ(tag.frames().size(), 3u);
    EXPECT_EQ(tag.frames()[0].id, "TPE1");
    EXPECT_EQ(tag.frames()[0].body, (Bytes{0, 'O', 't', 'h', 'e', 'r'}));
    EXPECT_EQ(tag.frames()[2].id, "TALB");
    tag.set_text("TIT2", u"");
    ASSERT_EQ(tag.frames().size(), 2u);
    EXPECT_EQ(tag.frames()[1].id, "TALB");
}

TEST(Id3Tag, PictureMimeTypeAndRemoval) {
    const Bytes png{0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 1, 2};
    EXPECT_EQ(Id3Tag::mime_type_of(png), "image/png");
    EXPECT_EQ(Id3Tag::mime_type_of(Bytes{0xFF, 0xD8, 0xFF, 0xE0, 0, 0, 0, 0}), "image/jpeg");
    EXPECT_EQ(Id3Tag::mime_type_of(Bytes{0xFF, 0xD8, 0xFF, 0xE1, 0, 0, 0, 0}), "image/jpeg");  // Exif
    EXPECT_EQ(Id3Tag::mime_type_of(Bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0}), "image/gif");
    EXPECT_EQ(Id3Tag::mime_type_of(Bytes{'G', 'I', 'F', '8', '7', 'a', 0, 0}), "image/gif");
    EXPECT_EQ(Id3Tag::mime_type_of(Bytes{'B', 'M', 0, 0, 0, 0, 0, 0}), "image/xyz");

    Id3Tag tag;
    tag.set_text("TIT2", u"x");
    tag.set_picture(png);
    const Id3Tag::Frame* apic = tag.find("APIC");
    ASSERT_NE(apic, nullptr);
    const std::string mime = "image/png";
    Bytes expected(1, 0);
    for (char c : mime) expected.push_back(static_cast<uint8_t>(c));
    expected.insert(expected.end(), {0, 0, 0});
    expected.insert(expected.end(), png.begin(), png.end());
    EXPECT_EQ(apic->body, expected);
    EXPECT_EQ(apic->body.size(), mime.size() + png.size() + 4);

    tag.set_picture(Bytes(7, 0x55));
    EXPECT_EQ(tag.find("APIC"), nullptr);
    EXPECT_EQ(tag.frames().size(), 1u);
}

TEST(Id3Tag, SizeIsFramesPlusOneKilobyteInSynchsafeForm) {
    Id3Tag tag;
    // One frame of 90 bytes of body: 100 bytes with its header.
    tag.set_text("TXXX", std::u16string(89, u'a'));
    const auto bytes = tag.render();
    ASSERT_TRUE(bytes.has_value());
    ASSERT_EQ(bytes->size(), 1134u);
    EXPECT_EQ(Bytes(bytes->begin(), bytes->begin() + 6), (Bytes{'I', 'D', '3', 3, 0, 0}));
    // 1,124 = 0b1000_1100100: groups 0, 0, 8, 0x64.
    EXPECT_EQ(Bytes(bytes->begin() + 6, bytes->begin() + 10), (Bytes{0, 0, 0x08, 0x64}));
    EXPECT_EQ(Bytes(bytes->begin() + 10, bytes->begin() + 14), (Bytes{'T', 'X', 'X', 'X'}));
    EXPECT_EQ(Bytes(bytes->begin() + 14, bytes->begin() + 20), (Bytes{0, 0, 0, 90, 0, 0}));
    for (size_t i = 110; i < bytes->size(); ++i) ASSERT_EQ((*bytes)[i], 0) << i;

    // A fixed size is kept exactly, and must leave room for the frames.
    EXPECT_EQ(tag.render(2000)->size(), 2000u);
    EXPECT_TRUE(tag.render(110).has_value());
    EXPECT_FALSE(tag.render(109).has_value());
    // A tag without frames is not written.
    EXPECT_FALSE(Id3Tag().render().has_value());
}

TEST(Id3Tag, WriteGoesToTheFile) {
    format_test::TempRoot root;
    Id3Tag tag;
    tag.set_text("TIT2", u"Hello");
    {
        os::File file(root.path16("t.mp3"), os::File::Write);
        ASSERT_TRUE(tag.write(file));
    }
    const Bytes bytes = format_test::read_file(root.path("t.mp3"));
    EXPECT_EQ(bytes.size(), 10u + 16u + 1024u);
    EXPECT_EQ(bytes, *tag.render());
}

}  // namespace
