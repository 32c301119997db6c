#include "os/folder_watcher.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "os/text.h"

namespace {

namespace fs = std::filesystem;

// Every report as one line: "+file path", "-file path", "+folder path", "-folder path", "lost".
struct Recorder final : os::FolderWatcherObserver {
    std::vector<std::string> lines;
    void on_file_added(std::u16string_view path) override { lines.push_back("+file " + os::to_utf8(path)); }
    void on_file_removed(std::u16string_view path) override { lines.push_back("-file " + os::to_utf8(path)); }
    void on_folder_added(std::u16string_view path) override { lines.push_back("+folder " + os::to_utf8(path)); }
    void on_folder_removed(std::u16string_view path) override { lines.push_back("-folder " + os::to_utf8(path)); }
    void on_changes_lost() override { lines.push_back("lost"); }
    std::vector<std::string> take() { return std::exchange(lines, {}); }
};

class FolderWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        base = fs::temp_directory_path() / ("watcher-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(base);
        fs::create_directories(base / "outside");
        root = (base / "My Quillon").string();
    }
    void TearDown() override { fs::remove_all(base); }

    static void write(const fs::path& path, const std::string& text = "x") { std::ofstream(path) << text; }

    // The kernel queues a change before the call that made it returns, so a check right after
    // sees it: no waiting.
    std::vector<std::string> check() {
        watcher.check();
        return recorder.take();
    }

    fs::path base;
    std::string root;
    Recorder recorder;
    os::FolderWatcher watcher{recorder};
};

TEST_F(FolderWatcherTest, FilesAndFoldersOfOtherProgramsAreReportedInOrder) {
    ASSERT_TRUE(watcher.is_valid());
    fs::create_directories(root + "/Incoming/deep");
    watcher.watch(os::from_utf8(root + "/"));
    EXPECT_TRUE(check().empty());

    write(root + "/a.mp3");  // written in place
    write(base / "outside" / "b.mp3");
    fs::rename(base / "outside" / "b.mp3", root + "/Incoming/deep/b.mp3");  // moved in, deep down
    fs::rename(root + "/a.mp3", root + "/Incoming/c.mp3");                  // renamed across folders
    fs::remove(root + "/Incoming/deep/b.mp3");
    fs::create_symlink(root + "/Incoming/c.mp3", root + "/link.mp3");
    EXPECT_EQ(check(), (std::vector<std::string>{
                           "+file " + root + "/a.mp3",
                           "+file " + root + "/Incoming/deep/b.mp3",
                           "-file " + root + "/a.mp3",
                           "+file " + root + "/Incoming/c.mp3",
                           "-file " + root + "/Incoming/deep/b.mp3",
                           "+file " + root + "/link.mp3",
                       }));

    // A folder moved in with files is reported as a folder (its owner reads it); from then on what
    // is written in it, and in a folder made in it, is reported file by file.
    fs::create_directories(base / "outside" / "album");
    write(base / "outside" / "album" / "d.mp3");
    fs::rename(base / "outside" / "album", root + "/album");
    EXPECT_EQ(check(), (std::vector<std::string>{"+folder " + root + "/album"}));
    fs::create_directories(root + "/album/sub");
    EXPECT_EQ(check(), (std::vector<std::string>{"+folder " + root + "/album/sub"}));
    write(root + "/album/sub/e.mp3");
    write(root + "/album/f.mp3");
    EXPECT_EQ(check(),
              (std::vector<std::string>{"+file " + root + "/album/sub/e.mp3", "+file " + root + "/album/f.mp3"}));

    // Moved away: one report, and nothing more from the folder where it went.
    fs::rename(root + "/album", base / "outside" / "album");
    EXPECT_EQ(check(), (std::vector<std::string>{"-folder " + root + "/album"}));
    write(base / "outside" / "album" / "sub" / "g.mp3");
    EXPECT_TRUE(check().empty());

    // Deleted with its contents: each file first, then the folder.
    fs::remove_all(root + "/Incoming");
    const std::vector<std::string> gone = check();
    ASSERT_FALSE(gone.empty());
    EXPECT_EQ(gone.back(), "-folder " + root + "/Incoming");
    EXPECT_NE(std::find(gone.begin(), gone.end(), "-file " + root + "/Incoming/c.mp3"), gone.end());
}

TEST_F(FolderWatcherTest, ARootThatAppearsLaterOrComesBackIsWatched) {
    watcher.watch(os::from_utf8(root));
    watcher.watch(os::from_utf8(root));  // once is enough
    EXPECT_TRUE(check().empty());
    fs::create_directories(root + "/Outgoing");
    EXPECT_EQ(check(), (std::vector<std::string>{"+folder " + root}));
    write(root + "/Outgoing/a.wav");
    EXPECT_EQ(check(), (std::vector<std::string>{"+file " + root + "/Outgoing/a.wav"}));

    fs::rename(root, base / "outside" / "old");
    EXPECT_EQ(check(), (std::vector<std::string>{"-folder " + root}));
    fs::create_directories(root);
    write(root + "/b.wav");
    EXPECT_EQ(check(), (std::vector<std::string>{"+folder " + root}));
    write(root + "/c.wav");
    EXPECT_EQ(check(), (std::vector<std::string>{"+file " + root + "/c.wav"}));
}

}  // namespace
