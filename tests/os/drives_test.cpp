#include "os/drives.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

TEST(Drives, CardsUnderTheRootAreOfferedUntilTheCallbackStops) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    const std::string cards = root.path() + "/cards";
    ::mkdir(cards.c_str(), 0755);
    ::mkdir((cards + "/CardA").c_str(), 0755);
    ::mkdir((cards + "/CardB").c_str(), 0755);
    write_bytes(cards + "/notes.txt", "not a card");
    // A card that went away leaves a link to nothing: its volume has no size.
    ASSERT_EQ(::symlink("/nonexistent/quillon-card", (cards + "/Gone").c_str()), 0);

    const std::u16string r = root.text();
    std::vector<std::u16string> offered;
    EXPECT_TRUE(os::find_drives([&](const std::u16string& card) {
        offered.push_back(card);
        return true;
    }));
    EXPECT_EQ(offered, (std::vector<std::u16string>{r + u"/cards/CardA", r + u"/cards/CardB"}));

    offered.clear();
    EXPECT_TRUE(os::find_drives([&](const std::u16string& card) {
        offered.push_back(card);
        return false;
    }));
    EXPECT_EQ(offered, (std::vector<std::u16string>{r + u"/cards/CardA"}));

    const std::u16string text = read_log_text(os::to_utf8(os::log_file_path()));
    const std::u16string expected = u"find_drives: mydoc={" + r + u"/Documents}\n" + u"returning result={" + r +
                                    u"/cards/CardA}\n" + u"returning result={" + r + u"/cards/CardB}\n" +
                                    u"skipping result={" + r + u"/cards/Gone}\n" + u"find_drives: mydoc={" + r +
                                    u"/Documents}\n" + u"returning result={" + r + u"/cards/CardA}\n";
    EXPECT_EQ(text, expected) << os::to_utf8(text);
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}

TEST(Drives, NoCardsFolderMeansNoCards) {
    TempRoot root;
    int calls = 0;
    EXPECT_TRUE(os::find_drives([&](const std::u16string&) { return ++calls, true; }));
    EXPECT_EQ(calls, 0);
}
