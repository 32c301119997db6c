// Moves across volumes and the hidden working files that a killed move or rename leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <string>

#include "os/file.h"
#include "os/file_system.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {
std::u16string u(const std::string& text) { return os::from_utf8(text); }
}  // namespace

TEST(Leftovers, MoveByCopyLeavesOneWholeFileAndNothingHidden) {
    TempRoot root;
    ::mkdir((root.path() + "/card").c_str(), 0755);
    const std::string big(300 * 1024 + 17, 'x');
    write_bytes(root.path() + "/note.mp3", big);
    os::FileInfo result;
    ASSERT_TRUE(os::move_by_copy(u(root.path() + "/note.mp3"), u(root.path() + "/card/note.mp3"), &result));
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(read_bytes(root.path() + "/card/note.mp3"), big);
    EXPECT_FALSE(os::exists(u(root.path() + "/note.mp3")));
    EXPECT_FALSE(os::exists(u(root.path() + "/card/.note.mp3.moving")));
    EXPECT_FALSE(os::exists(u(root.path() + "/.note.mp3.move")));

    // A taken name is never replaced, and the refused move leaves nothing behind.
    write_bytes(root.path() + "/other.mp3", "other");
    write_bytes(root.path() + "/card/other.mp3", "there");
    EXPECT_FALSE(os::move_by_copy(u(root.path() + "/other.mp3"), u(root.path() + "/card/other.mp3"), &result));
    EXPECT_EQ(result.error, EEXIST);
    EXPECT_EQ(read_bytes(root.path() + "/other.mp3"), "other");
    EXPECT_EQ(read_bytes(root.path() + "/card/other.mp3"), "there");
    EXPECT_FALSE(os::exists(u(root.path() + "/card/.other.mp3.moving")));
    EXPECT_FALSE(os::exists(u(root.path() + "/.other.mp3.move")));
}

TEST(Leftovers, KnownNamesOnly) {
    EXPECT_TRUE(os::is_leftover(u"/a/.note.mp3.moving"));
    EXPECT_TRUE(os::is_leftover(u"/a/.note.mp3.move"));
    EXPECT_TRUE(os::is_leftover(u"/a/.note.mp3.retitle"));
    EXPECT_FALSE(os::is_leftover(u"/a/note.mp3.moving"));
    EXPECT_FALSE(os::is_leftover(u"/a/.note.mp3"));
    EXPECT_FALSE(os::is_leftover(u"/a/.moving"));
    EXPECT_FALSE(os::tidy_leftover(u"/a/note.mp3"));
}

// Each state a kill can leave a move in, tidied as the next scan does.
TEST(Leftovers, KilledMoveStatesEndWithOneCopy) {
    TempRoot root;
    const std::string card = root.path() + "/card";
    ::mkdir(card.c_str(), 0755);

    // Killed while copying: the cut copy goes, the original stays.
    write_bytes(root.path() + "/a.mp3", "whole recording");
    write_bytes(card + "/.a.mp3.moving", "whole rec");
    EXPECT_TRUE(os::tidy_leftover(u(card + "/.a.mp3.moving")));
    EXPECT_FALSE(os::exists(u(card + "/.a.mp3.moving")));
    EXPECT_EQ(read_bytes(root.path() + "/a.mp3"), "whole recording");

    // Killed after the journal but before the copy took its name: nothing changes hands.
    write_bytes(root.path() + "/b.mp3", "bbbb");
    write_bytes(root.path() + "/.b.mp3.move", card + "/b.mp3\n4\n");
    write_bytes(card + "/.b.mp3.moving", "bbbb");
    EXPECT_TRUE(os::tidy_leftover(u(root.path() + "/.b.mp3.move")));
    EXPECT_TRUE(os::tidy_leftover(u(card + "/.b.mp3.moving")));
    EXPECT_EQ(read_bytes(root.path() + "/b.mp3"), "bbbb");
    EXPECT_FALSE(os::exists(u(card + "/b.mp3")));
    EXPECT_FALSE(os::exists(u(root.path() + "/.b.mp3.move")));

    // Killed while the journal was written: the copy had not taken its name yet.
    write_bytes(root.path() + "/j.mp3", "jjjj");
    write_bytes(root.path() + "/.j.mp3.move", card + "/j.m");
    write_bytes(card + "/j.mp3", "jjjj");  // a file of that name from elsewhere
    EXPECT_TRUE(os::tidy_leftover(u(root.path() + "/.j.mp3.move")));
    EXPECT_EQ(read_bytes(root.path() + "/j.mp3"), "jjjj");
    EXPECT_FALSE(os::exists(u(root.path() + "/.j.mp3.move")));

    // Killed after the copy took its name: the original goes, the copy stays.
    write_bytes(root.path() + "/c.mp3", "cccc");
    write_bytes(card + "/c.mp3", "cccc");
    write_bytes(root.path() + "/.c.mp3.move", card + "/c.mp3\n4\n");
    EXPECT_TRUE(os::tidy_leftover(u(root.path() + "/.c.mp3.move")));
    EXPECT_FALSE(os::exists(u(root.path() + "/c.mp3")));
    EXPECT_EQ(read_bytes(card + "/c.mp3"), "cccc");
    EXPECT_FALSE(os::exists(u(root.path() + "/.c.mp3.move")));

    // A file of that name that is not the copy (another size) never costs the original.
    write_bytes(root.path() + "/d.mp3", "dddd");
    write_bytes(card + "/d.mp3", "dd");
    write_bytes(root.path() + "/.d.mp3.move", card + "/d.mp3\n4\n");
    EXPECT_TRUE(os::tidy_leftover(u(root.path() + "/.d.mp3.move")));
    EXPECT_EQ(read_bytes(root.path() + "/d.mp3"), "dddd");
    EXPECT_FALSE(os::exists(u(root.path() + "/.d.mp3.move")));
}

TEST(Leftovers, AWorkingFileInUseIsLeftAlone) {
    TempRoot root;
    const std::string path = root.path() + "/.e.mp3.retitle";
    os::File held(u(path), os::File::Write);
    ASSERT_TRUE(held.is_open());
    ASSERT_TRUE(held.try_lock());
    EXPECT_TRUE(os::tidy_leftover(u(path)));
    EXPECT_TRUE(os::exists(u(path))) << "another process is still writing it";
    held.close();
    EXPECT_TRUE(os::tidy_leftover(u(path)));
    EXPECT_FALSE(os::exists(u(path)));
}
