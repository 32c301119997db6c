#include "audio/mp3/id3_reader.h"

#include <gtest/gtest.h>

#include <cstring>

#include "audio/stream/input_file.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes text_frame(const std::string& id, const Bytes& body) {
    Bytes out(id.begin(), id.end());
    const auto size = static_cast<std::uint32_t>(body.size());
    out.insert(out.end(),
               {std::uint8_t(size >> 24), std::uint8_t(size >> 16), std::uint8_t(size >> 8), std::uint8_t(size), 0, 0});
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

Bytes tag_header(int version, std::uint8_t flags, std::uint32_t size) {
    return {'I',
            'D',
            '3',
            std::uint8_t(version),
            0,
            flags,
            std::uint8_t((size >> 21) & 0x7F),
            std::uint8_t((size >> 14) & 0x7F),
            std::uint8_t((size >> 7) & 0x7F),
            std::uint8_t(size & 0x7F)};
}

Bytes tag_of(const std::vector<Bytes>& frames, int version = 3, std::uint32_t padding = 64) {
    Bytes body;
    for (const Bytes& f : frames) body.insert(body.end(), f.begin(), f.end());
    body.resize(body.size() + padding, 0);
    Bytes out = tag_header(version, 0, static_cast<std::uint32_t>(body.size()));
    out.insert(out.end(), body.begin(), body.end());
    return out;
}

std::u16string decode(const Bytes& body) { return decode_id3_text(body.data(), body.size()); }

}  // namespace

TEST(Id3Text, HonoursTheEncodingByte) {
    // ISO-8859-1: each byte is the code point of the same number, é and ÿ included.
    EXPECT_EQ(decode({0, 'C', 'a', 'f', 0xE9, 0xFF}), u"Caf\u00e9\u00ff");
    // UTF-8 (the usual choice of ID3v2.4 taggers) is not read byte by byte.
    EXPECT_EQ(decode({3, 'C', 'a', 'f', 0xC3, 0xA9, 0xE2, 0x82, 0xAC, 0, 'x'}), u"Caf\u00e9\u20ac");
    // UTF-16 with a byte-order mark, in both byte orders, up to the 0 character.
    EXPECT_EQ(decode({1, 0xFF, 0xFE, 'H', 0, 0xAC, 0x20, 0, 0, 'x', 0}), u"H\u20ac");
    EXPECT_EQ(decode({1, 0xFE, 0xFF, 0, 'H', 0x20, 0xAC}), u"H\u20ac");
    // UTF-16 big-endian without a mark.
    EXPECT_EQ(decode({2, 0, 'O', 0x04, 0x16}), u"O\u0416");
    // A Latin-1 text that happens to begin with ÿþ stays Latin-1.
    EXPECT_EQ(decode({0, 0xFF, 0xFE, 'A', 0}), u"\u00ff\u00feA");
    EXPECT_EQ(decode({}), u"");
    EXPECT_EQ(decode({1, 0xFF}), u"");
}

TEST(Id3v2, ReadsFramesAfterAnExtendedHeaderAndStopsAtPadding) {
    Bytes frames = text_frame("TPE1", {0, 'A', 'n', 'n', 'a'});
    const Bytes title = text_frame("TIT2", {3, 0xC3, 0xA9, 't', 0xC3, 0xA9});
    frames.insert(frames.end(), title.begin(), title.end());
    // Extended header of version 3 with the CRC flag: 10 bytes plus 4 of CRC.
    Bytes body = {0, 0, 0, 10, 0x80, 0, 0, 0, 0, 0, 1, 2, 3, 4};
    body.insert(body.end(), frames.begin(), frames.end());
    body.resize(body.size() + 100, 0);
    Bytes file = tag_header(3, 0x40, static_cast<std::uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    file.insert(file.end(), {0xFF, 0xFB, 0x90, 0x64});
    const std::string path = fixtures::path_in_scratch("extended.mp3");
    fixtures::write_file(path, file);

    InputFile input(os::from_utf8(path));
    Id3v2Tag tag = read_id3v2(input);
    ASSERT_TRUE(tag.present);
    EXPECT_EQ(tag.size, static_cast<std::int64_t>(body.size() + 10));
    ASSERT_EQ(tag.frames.size(), 2u);
    EXPECT_EQ(tag.text("TPE1"), u"Anna");
    EXPECT_EQ(tag.text("TIT2"), u"\u00e9t\u00e9");
    EXPECT_EQ(tag.text("TALB"), u"");
}

TEST(Id3v2, Version4FrameSizesAreSevenBitGroups) {
    // 200 bytes: 0x00 0x00 0x01 0x48 in 7-bit groups (0xC8 as a plain number would be 200 too only by luck).
    Bytes body = {0};
    body.resize(200, 'x');
    Bytes frame = {'T', 'I', 'T', '2', 0, 0, 1, 0x48, 0, 0};
    frame.insert(frame.end(), body.begin(), body.end());
    Bytes file = tag_of({frame, text_frame("TPE1", {3, 'B'})}, 4);
    const std::string path = fixtures::path_in_scratch("v24.mp3");
    fixtures::write_file(path, file);
    InputFile input(os::from_utf8(path));
    Id3v2Tag tag = read_id3v2(input);
    ASSERT_EQ(tag.frames.size(), 2u);
    EXPECT_EQ(tag.text("TIT2").size(), 199u);
    EXPECT_EQ(tag.text("TPE1"), u"B");
}

TEST(Id3v2, ClaimedSizesNeverOutgrowTheFile) {
    // The tag claims 256 MB and its frame 15 * 16 MB: only what the file holds is read.
    Bytes file = tag_header(3, 0, 0x0FFFFFFF);
    file.insert(file.end(), {'T', 'I', 'T', '2', 0x0F, 0xFF, 0xFF, 0xFF, 0, 0, 0, 'a', 'b'});
    const std::string path = fixtures::path_in_scratch("huge.mp3");
    fixtures::write_file(path, file);
    InputFile input(os::from_utf8(path));
    Id3v2Tag tag = read_id3v2(input);
    EXPECT_TRUE(tag.present);
    EXPECT_TRUE(tag.frames.empty());

    // Broken headers are not tags at all.
    for (const Bytes& bad : {Bytes{'I', 'D', '3', 255, 0, 0, 0, 0, 0, 0}, Bytes{'I', 'D', '3', 3, 0, 0x1F, 0, 0, 0, 0},
                             Bytes{'I', 'D', '3', 3, 0, 0, 0x80, 0, 0, 0}, Bytes{'I', 'D', '3'}}) {
        fixtures::write_file(path, bad);
        InputFile again(os::from_utf8(path));
        EXPECT_FALSE(read_id3v2(again).present);
    }
}

TEST(Id3v1, TakesTheLastTagAndItsTrackNumber) {
    Bytes file(3000, 0x55);
    auto put_tag = [&](std::size_t at, const char* title, int track) {
        Bytes tag = {'T', 'A', 'G'};
        tag.resize(128, 0);
        std::copy(title, title + std::strlen(title), tag.begin() + 3);
        const char* artist = "Artist\xE9";
        std::copy(artist, artist + std::strlen(artist), tag.begin() + 33);
        tag[3 + 94 + 29] = static_cast<std::uint8_t>(track);
        tag[127] = 12;
        std::copy(tag.begin(), tag.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
    };
    put_tag(2000, "Old", 0);
    put_tag(3000 - 128, "New", 7);
    const std::string path = fixtures::path_in_scratch("v1.mp3");
    fixtures::write_file(path, file);
    InputFile input(os::from_utf8(path));
    Id3v1Tag tag = read_id3v1(input);
    ASSERT_TRUE(tag.present);
    EXPECT_EQ(tag.title, u"New");
    EXPECT_EQ(tag.artist, u"Artist\u00e9");
    EXPECT_EQ(tag.track, 7);
    EXPECT_EQ(tag.genre, 12);

    // The artist and title come from ID3v2 first; the album, missing there, from ID3v1.
    Bytes with_v2 = tag_of({text_frame("TPE1", {0, 'Z', 'o', 'e'})});
    with_v2.insert(with_v2.end(), file.begin(), file.end());
    with_v2[with_v2.size() - 128 + 63] = 'L';
    fixtures::write_file(path, with_v2);
    RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.artist, u"Zoe");
    EXPECT_EQ(tags.title, u"New");
    EXPECT_EQ(tags.album, u"L");

    // A tag cut off by the end of the file gives what is there, without a track number.
    Bytes cut = {'x', 'T', 'A', 'G', 'S', 'h', 'o', 'r', 't'};
    fixtures::write_file(path, cut);
    InputFile short_input(os::from_utf8(path));
    tag = read_id3v1(short_input);
    EXPECT_EQ(tag.title, u"Short");
    EXPECT_EQ(tag.track, 0);
}
