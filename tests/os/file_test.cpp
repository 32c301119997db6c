#include "os/file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <ctime>

#include "os/file_system.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {
std::string read_all(os::File& file) {
    std::string out(256, '\0');
    out.resize(file.read(out.data(), out.size()));
    return out;
}
}  // namespace

TEST(File, FourModes) {
    TempRoot root;
    const std::u16string path = root.text() + u"\\note.bin";  // expanded like every path
    const std::string native = root.path() + "/note.bin";

    EXPECT_FALSE(os::File(path, os::File::Read).is_open());
    EXPECT_FALSE(os::File(path, 7).is_open());
    EXPECT_FALSE(os::File(root.text(), os::File::Read).is_open()) << "a folder is no file";

    {
        os::File file(path, os::File::Write);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(file.write("hello world", 11), 11u);
        EXPECT_EQ(file.size(), 11);
        EXPECT_TRUE(file.flush());
    }
    {
        os::File file(path, os::File::Read);
        ASSERT_TRUE(file.is_open());
        char five[5];
        EXPECT_EQ(file.read(five, 5), 5u);
        EXPECT_EQ(std::string(five, 5), "hello");
        EXPECT_EQ(file.tell(), 5);
        EXPECT_EQ(file.skip(3), 3);
        EXPECT_EQ(read_all(file), "rld");
        EXPECT_EQ(file.skip(-100), -11) << "stops at the start";
        EXPECT_TRUE(file.seek(6));
        EXPECT_EQ(read_all(file), "world");
        EXPECT_EQ(file.write("x", 1), 0u) << "read mode refuses writes";
    }
    {
        os::File file(path, os::File::Append);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(file.tell(), 11);
        EXPECT_EQ(file.write("!", 1), 1u);
    }
    EXPECT_EQ(read_bytes(native), "hello world!");
    {
        // Read-write keeps what is there and can cut it.
        os::File file(path, os::File::ReadWrite);
        ASSERT_TRUE(file.is_open());
        EXPECT_EQ(file.tell(), 0);
        EXPECT_EQ(file.write("J", 1), 1u);
        EXPECT_TRUE(file.truncate(5));
        EXPECT_EQ(file.tell(), 5);
        EXPECT_EQ(file.size(), 5);
        file.close();
        EXPECT_FALSE(file.is_open());
        EXPECT_EQ(file.size(), -1);
    }
    EXPECT_EQ(read_bytes(native), "Jello");
    {
        os::File file(path, os::File::Write);  // truncates
        EXPECT_EQ(file.size(), 0);
    }
    {
        os::File fresh(root.text() + u"/created.bin", os::File::ReadWrite);
        EXPECT_TRUE(fresh.is_open());
        os::File appended(root.text() + u"/appended.bin", os::File::Append);
        EXPECT_TRUE(appended.is_open());
        os::File moved = std::move(appended);
        EXPECT_TRUE(moved.is_open());
        EXPECT_FALSE(appended.is_open());
    }

    // A pipe cannot be positioned at its end, so append mode gives it up.
    const std::string fifo = root.path() + "/pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const int keeper = ::open(fifo.c_str(), O_RDWR);
    ASSERT_GE(keeper, 0);
    EXPECT_FALSE(os::File(os::from_utf8(fifo), os::File::Append).is_open());
    ::close(keeper);
}

TEST(File, InfoMoveDeleteAndVolumes) {
    TempRoot root;
    os::FileInfo missing(root.text() + u"/none");
    EXPECT_FALSE(missing.exists());
    EXPECT_EQ(missing.attributes, 0xFFFFFFFFu);
    EXPECT_EQ(missing.error, ENOENT);
    EXPECT_FALSE(os::exists(root.text() + u"/none"));

    const std::string big = root.path() + "/big.bin";
    {
        const int fd = ::open(big.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, 0x100000005LL), 0);  // sparse: costs no disk
        ::close(fd);
    }
    const os::DateTime before = os::DateTime::from_unix_time(std::time(nullptr) - 60);
    os::FileInfo info(os::from_utf8(big));
    EXPECT_TRUE(info.exists());
    EXPECT_FALSE(info.is_folder());
    EXPECT_EQ(info.attributes, os::FileInfo::kNormal);
    EXPECT_EQ(info.size, 5u) << "the low 32 bits";
    EXPECT_EQ(info.full_size, 0x100000005ULL);
    EXPECT_GT(info.last_write_time, before);
    EXPECT_LE(info.last_write_time, os::now());
    EXPECT_GE(info.last_write_time, info.creation_time);
    EXPECT_TRUE(os::FileInfo(root.text()).is_folder());
    EXPECT_NE(os::FileInfo(root.text() + u"/.hidden_none").error, 0);

    // A move never replaces an existing file and says why in the caller's FileInfo.
    write_bytes(root.path() + "/a.txt", "A");
    write_bytes(root.path() + "/b.txt", "B");
    os::FileInfo result;
    EXPECT_FALSE(os::move_file(root.text() + u"/a.txt", root.text() + u"/b.txt", &result));
    EXPECT_EQ(result.error, EEXIST);
    EXPECT_EQ(read_bytes(root.path() + "/b.txt"), "B");
    EXPECT_TRUE(os::move_file(root.text() + u"/a.txt", root.text() + u"/c.txt", &result));
    EXPECT_EQ(result.error, 0);
    EXPECT_EQ(read_bytes(root.path() + "/c.txt"), "A");
    EXPECT_FALSE(os::move_file(root.text() + u"/a.txt", root.text() + u"/d.txt", &result));
    EXPECT_EQ(result.error, ENOENT);

    // Across volumes a file is copied and the original deleted, when the machine has two.
    struct stat tmp_info {
    }, shm_info{};
    if (::stat("/dev/shm", &shm_info) == 0 && ::stat(root.path().c_str(), &tmp_info) == 0 &&
        shm_info.st_dev != tmp_info.st_dev && ::access("/dev/shm", W_OK) == 0) {
        const std::string other = "/dev/shm/quillon-move-" + std::to_string(::getpid());
        EXPECT_TRUE(os::move_file(root.text() + u"/c.txt", os::from_utf8(other)));
        EXPECT_EQ(read_bytes(other), "A");
        EXPECT_FALSE(os::exists(root.text() + u"/c.txt"));
        ::unlink(other.c_str());
    }

    EXPECT_TRUE(os::delete_file(root.text() + u"/b.txt"));
    EXPECT_FALSE(os::delete_file(root.text() + u"/b.txt"));

    struct statvfs volume {};
    ASSERT_EQ(::statvfs(root.path().c_str(), &volume), 0);
    EXPECT_EQ(os::volume_size(root.text()), static_cast<double>(volume.f_blocks) * volume.f_frsize);
    EXPECT_EQ(os::volume_size(root.text() + u"/none"), 0);
    EXPECT_GT(os::root_free_space(root.text() + u"/not/yet/made.mp3"), 0);
}

TEST(File, CreateDirectoryMakesEveryLevelFromTheTopAndLogsEachAttempt) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    EXPECT_TRUE(os::create_directory(root.text() + u"\\a\\b\\c\\"));
    EXPECT_TRUE(os::FileInfo(root.text() + u"/a/b/c").is_folder());
    EXPECT_TRUE(os::create_directory(root.text() + u"/a/b/c"));  // already there: still true

    const std::u16string r = root.text();
    const std::u16string text = read_log_text(os::to_utf8(os::log_file_path()));
    const std::u16string first = u"CreateDirectoryW {" + r + u"} result=0\n" + u"CreateDirectoryW {" + r +
                                 u"/a} result=1\n" + u"CreateDirectoryW {" + r + u"/a/b} result=1\n" +
                                 u"CreateDirectoryW {" + r + u"/a/b/c} result=1\n";
    const std::u16string second = u"CreateDirectoryW {" + r + u"/a/b/c} result=0\n";
    EXPECT_NE(text.find(first), std::u16string::npos) << os::to_utf8(text);
    EXPECT_NE(text.find(second, text.find(first) + first.size()), std::u16string::npos) << os::to_utf8(text);
    // The recursion starts at the top of the file system.
    EXPECT_EQ(text.find(u"CreateDirectoryW {} result=0\nCreateDirectoryW {/tmp} result=0\n"), 0u) << os::to_utf8(text);

    write_bytes(root.path() + "/plain", "x");
    EXPECT_FALSE(os::create_directory(root.text() + u"/plain/sub")) << "a file stands in the way";
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}
