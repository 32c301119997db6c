// Replays every kept vCard fuzz input through the fuzzer's entry, and lines too large to keep.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "telephony/contacts/vcard_reader.h"
#include "tests/telephony/fuzz/vcard_fuzz_entry.h"

namespace {

int run(const std::string& text) { return vcard_fuzz_one(reinterpret_cast<const uint8_t*>(text.data()), text.size()); }

TEST(VCardFuzzCorpus, EveryKeptInputReadsCleanly) {
    const std::filesystem::path corpus = std::filesystem::path(QUILLON_TEST_DATA) / "fuzz" / "corpus";
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream input(entry.path(), std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
        EXPECT_EQ(run(bytes), 0) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 10u);
}

// Lines past the reader's bound, folded and unfolded: the card around them survives and the
// overflowing picture is marked, not kept in part.
TEST(VCardFuzzCorpus, HugeLinesStayBounded) {
    const std::string photo(vcard::max_line_bytes + 4096, 'A');
    std::string folded;
    for (size_t i = 0; i < photo.size(); i += 75) folded += (i ? "\r\n " : "") + photo.substr(i, 75);
    for (const std::string& value : {photo, folded}) {
        const std::string text = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Big Picture\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + value +
                                 "\r\nTEL:+44 20 7946 0958\r\nEND:VCARD\r\n";
        EXPECT_EQ(run(text), 0);
        const auto cards = vcard::read_text(text, 0);
        ASSERT_EQ(cards.size(), 1u);
        EXPECT_EQ(cards[0].formatted_name, u"Big Picture");
        EXPECT_EQ(cards[0].phones.size(), 1u);
        EXPECT_TRUE(cards[0].photo_overflowed);
        EXPECT_TRUE(vcard::photo_bytes(cards[0], 1 << 22).empty());
    }
    // A name line of a megabyte and more.
    EXPECT_EQ(run("BEGIN:VCARD\nFN:" + std::string(vcard::max_line_bytes * 2, '\xC3') + "\nEND:VCARD\n"), 0);
}

}  // namespace
