#include "os/log.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

TEST(Log, SwitchesOnAndOffWhileRunning) {
    TempRoot root;
    const std::string file = os::to_utf8(os::log_file_path());
    EXPECT_EQ(file, root.path() + "/Temp/" + os::to_utf8(os::app_name()) + ".txt");

    // No "Log" value: nothing is written and no file appears.
    os::log() << u"never seen\n";
    EXPECT_FALSE(std::filesystem::exists(file));

    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    os::log() << u"WinMain:" << 42 << u" " << -7 << u" " << true << u" Zoë\n";
    EXPECT_EQ(read_log_text(file), u"WinMain:42 -7 1 Zoë\n");
    // It names callers and their numbers: no one else may read it or look into its folder.
    struct stat info {};
    ASSERT_EQ(::stat(file.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    ASSERT_EQ(::stat((root.path() + "/Temp").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
    const std::string before = read_bytes(file);
    os::log() << u"while off\n";
    EXPECT_EQ(read_bytes(file), before);

    // Switched on again, the file starts over: a byte-order mark and the new lines only.
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 5));
    os::log();
    EXPECT_EQ(read_log_text(file), u"");
    os::log() << u"again\n";
    os::log() << u"and again\n";
    EXPECT_EQ(read_log_text(file), u"again\nand again\n");

    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
    os::log();
}
