#include "os/runtime_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

mode_t mode_of(const std::string& path) {
    struct stat info {};
    ::lstat(path.c_str(), &info);
    return info.st_mode & 07777;
}

// Another user's folder, or a folder others may enter, must not hold our lock and socket: a
// stranger who made it first could take the lock or answer in our place.
TEST(RuntimeFolder, OnlyAPrivateFolderOfOursIsUsed) {
    TempRoot root;
    const std::string fallback = root.path() + "/cache/quillon-touch/runtime";

    // Missing: made, private, used.
    const std::string fresh = root.path() + "/quillon-touch-fresh";
    EXPECT_EQ(os::choose_private_folder(os::from_utf8(fresh), os::from_utf8(fallback)), os::from_utf8(fresh));
    EXPECT_EQ(mode_of(fresh), 0700u);
    EXPECT_FALSE(std::filesystem::exists(fallback));

    // Made by someone with the door open: refused, the private fallback instead.
    const std::string open = root.path() + "/quillon-touch-open";
    ASSERT_EQ(::mkdir(open.c_str(), 0700), 0);
    ASSERT_EQ(::chmod(open.c_str(), 0777), 0);
    EXPECT_FALSE(os::make_private_folder(os::from_utf8(open)));
    EXPECT_EQ(os::choose_private_folder(os::from_utf8(open), os::from_utf8(fallback)), os::from_utf8(fallback));
    EXPECT_EQ(mode_of(fallback), 0700u);
    EXPECT_EQ(mode_of(open), 0777u);  // not ours to mend

    // A link to a private folder of ours is still a link someone could have planted.
    const std::string link = root.path() + "/quillon-touch-link";
    ASSERT_EQ(::symlink(fresh.c_str(), link.c_str()), 0);
    EXPECT_FALSE(os::make_private_folder(os::from_utf8(link)));

    // A plain file in its place.
    const std::string file = root.path() + "/quillon-touch-file";
    write_bytes(file, "x");
    EXPECT_FALSE(os::make_private_folder(os::from_utf8(file)));

    // Another user's folder, private to them.
    if (::geteuid() == 0) {
        const std::string theirs = root.path() + "/quillon-touch-theirs";
        ASSERT_EQ(::mkdir(theirs.c_str(), 0700), 0);
        ASSERT_EQ(::chown(theirs.c_str(), 65534, 65534), 0);
        EXPECT_FALSE(os::make_private_folder(os::from_utf8(theirs)));
    }
}

}  // namespace
