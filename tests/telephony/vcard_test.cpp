#include <gtest/gtest.h>

#include <random>
#include <string>

#include "telephony/contacts/base64.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/contacts/vcard_reader.h"
#include "tests/support/base64.h"

namespace {

using test_support::base64;

// Folds at 75 octets as vCard writers do.
std::string folded(const std::string& line) {
    std::string out = line.substr(0, 75);
    for (size_t at = 75; at < line.size(); at += 74) out += "\r\n " + line.substr(at, 74);
    return out + "\r\n";
}

std::string picture_of(size_t size) {
    std::string bytes(size, '\0');
    const std::string jpeg = "\xFF\xD8\xFF\xE0";
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i < jpeg.size() ? jpeg[i] : (i * 7) & 0xFF);
    return bytes;
}

std::vector<uint8_t> as_bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

std::vector<uint8_t> photo_of(const std::string& card_text) {
    auto cards = vcard::read_text(card_text, 0);
    return cards.empty() ? std::vector<uint8_t>() : vcard::photo_bytes(cards[0], contact_picture_max_bytes);
}

}  // namespace

TEST(Base64, DecodesWithWhiteSpaceAndRejectsJunk) {
    EXPECT_EQ(decode_base64("SGVs\r\n bG8=", 100).value(), as_bytes("Hello"));
    EXPECT_EQ(decode_base64("SGVsbG8", 100).value(), as_bytes("Hello"));  // padding left out
    EXPECT_FALSE(decode_base64("SGV$bG8=", 100));
    EXPECT_FALSE(decode_base64("SG=VsbG8", 100));
    EXPECT_FALSE(decode_base64("S", 100));
    EXPECT_FALSE(decode_base64("SGVsbG8=", 4));  // five bytes do not fit in four
}

TEST(VCard, ReadsNamesNumbersAndUnfoldsLines) {
    const std::string text =
        "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann\r\n  Smith\r\nitem1.TEL;TYPE=\"voice,cell\":+44 20 7946 0958\r\n"
        "TEL;TYPE=HOME:(020) 7946-0000\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\nVERSION:2.1\nN:Doe;John;;;\nTEL;CELL:0170 1234567\nEND:VCARD\n"
        "BEGIN:VCARD\rVERSION:2.1\rFN;ENCODING=QUOTED-PRINTABLE;CHARSET=UTF-8:J=C3=B6rg =\rM=C3=BCller\rEND:VCARD\r";
    const auto cards = vcard::read_text(text);
    ASSERT_EQ(cards.size(), 3u);
    EXPECT_EQ(cards[0].formatted_name, u"Ann Smith");
    ASSERT_EQ(cards[0].phones.size(), 2u);
    EXPECT_EQ(cards[0].phones[0], u"+44 20 7946 0958");
    EXPECT_EQ(cards[1].formatted_name, u"John Doe");
    EXPECT_EQ(cards[1].phones[0], u"0170 1234567");
    EXPECT_EQ(cards[2].formatted_name, u"J\u00F6rg M\u00FCller");
}

TEST(VCard, ReadsPicturesInEveryForm) {
    const std::string png = "\x89PNG\r\n\x1A\nrest-of-picture";
    const std::string encoded = base64(png);
    EXPECT_EQ(photo_of("BEGIN:VCARD\r\n" + folded("PHOTO;ENCODING=b;TYPE=PNG:" + encoded) + "END:VCARD\r\n"),
              as_bytes(png));
    EXPECT_EQ(photo_of("BEGIN:VCARD\r\n" + folded("PHOTO:data:image/png;base64," + encoded) + "END:VCARD\r\n"),
              as_bytes(png));
    // vCard 2.1: base64 lines of their own, ended by an empty line.
    const std::string two_one = "BEGIN:VCARD\r\nVERSION:2.1\r\nPHOTO;PNG;ENCODING=BASE64:\r\n" + encoded.substr(0, 8) +
                                "\r\n" + encoded.substr(8) + "\r\n\r\nEND:VCARD\r\n";
    EXPECT_EQ(photo_of(two_one), as_bytes(png));
    // A linked picture is not fetched; a data URI without base64 is not a picture we read.
    EXPECT_TRUE(photo_of("BEGIN:VCARD\r\nPHOTO;VALUE=uri:http://example.org/a.png\r\nEND:VCARD\r\n").empty());
    EXPECT_TRUE(photo_of("BEGIN:VCARD\r\nPHOTO:data:image/png,%89PNG\r\nEND:VCARD\r\n").empty());
    EXPECT_EQ(guess_picture_mime(as_bytes(png)), u"image/png");
    EXPECT_EQ(guess_picture_mime(as_bytes("\xFF\xD8\xFF\xE1"
                                          "Exif")),
              u"image/jpeg");
    EXPECT_EQ(guess_picture_mime(as_bytes("GIF89a..")), u"image/gif");
    EXPECT_EQ(guess_picture_mime(as_bytes("BM......")), u"image/xyz");
}

TEST(VCard, PictureBoundIsExactly200000Bytes) {
    const std::string largest = picture_of(200000);
    EXPECT_EQ(photo_of("BEGIN:VCARD\r\n" + folded("PHOTO;ENCODING=b:" + base64(largest)) + "END:VCARD\r\n"),
              as_bytes(largest));
    const std::string too_large = picture_of(200001);
    EXPECT_TRUE(
        photo_of("BEGIN:VCARD\r\n" + folded("PHOTO;ENCODING=b:" + base64(too_large)) + "END:VCARD\r\n").empty());
}

TEST(VCard, MalformedInputNeverBreaksTheReader) {
    // Bad base64: no picture, the card still counts.
    auto cards = vcard::read_text("BEGIN:VCARD\r\nTEL:123456789\r\nPHOTO;ENCODING=b:AAA*AAA\r\nEND:VCARD\r\n", 0);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_TRUE(vcard::photo_bytes(cards[0], contact_picture_max_bytes).empty());
    EXPECT_EQ(cards[0].phones.size(), 1u);

    // Broken folding: a continuation before any property, an unfinished card, a card never ended.
    cards = vcard::read_text(
        " orphan continuation\r\nBEGIN:VCARD\r\nFN:A\r\nBEGIN:VCARD\r\nFN:B\r\n\tx\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nTEL:1");
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].formatted_name, u"Bx");

    // A picture far beyond every bound, in one unbroken line: read with bounded memory, no picture.
    std::string huge =
        "BEGIN:VCARD\r\nTEL:+15551234567\r\nPHOTO;ENCODING=b:" + std::string(3 << 20, 'A') + "\r\nEND:VCARD\r\n";
    cards = vcard::read_text(huge, 0);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_TRUE(cards[0].photo_overflowed);
    EXPECT_LE(cards[0].photo_value.size(), vcard::max_line_bytes);
    EXPECT_TRUE(vcard::photo_bytes(cards[0], contact_picture_max_bytes).empty());
    EXPECT_EQ(cards[0].phones.size(), 1u);

    // An over-long name is cut to the bound without splitting a surrogate pair.
    std::string long_name = "BEGIN:VCARD\r\nFN:" + std::string(254, 'a') + "\xF0\x9F\x98\x80" + "tail\r\nEND:VCARD\r\n";
    cards = vcard::read_text(long_name);
    ASSERT_EQ(cards.size(), 1u);
    EXPECT_EQ(cards[0].formatted_name, std::u16string(254, u'a'));

    // Binary junk, and junk spliced into a valid card: whatever comes out, nothing crashes.
    std::mt19937 random(7);
    const std::string valid =
        "BEGIN:VCARD\r\nFN:Ann\r\nTEL:+44 20 7946 0958\r\nPHOTO;ENCODING=b:" + base64(picture_of(300)) +
        "\r\nEND:VCARD\r\n";
    for (int round = 0; round < 300; ++round) {
        std::string bytes = valid;
        const int edits = 1 + static_cast<int>(random() % 8);
        for (int e = 0; e < edits; ++e) {
            const size_t at = random() % bytes.size();
            switch (random() % 3) {
                case 0:
                    bytes[at] = static_cast<char>(random());
                    break;
                case 1:
                    bytes.erase(at, random() % 16);
                    break;
                default:
                    bytes.insert(at, std::string(random() % 16, static_cast<char>(random())));
                    break;
            }
            if (bytes.empty()) bytes = "x";
        }
        for (long keep : {-1L, 0L, 1L}) {
            for (const auto& card : vcard::read_text(bytes, keep)) {
                EXPECT_LE(vcard::photo_bytes(card, contact_picture_max_bytes).size(), contact_picture_max_bytes);
                EXPECT_LE(card.formatted_name.size(), 255u);
            }
        }
    }
    std::string junk(1 << 16, '\0');
    for (char& c : junk) c = static_cast<char>(random());
    EXPECT_NO_FATAL_FAILURE(vcard::read_text(junk, 0));
}
