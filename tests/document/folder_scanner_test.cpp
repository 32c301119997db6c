#include "document/folder_scanner.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "os/text.h"
#include "tests/app/fake_tick.h"

namespace {

namespace fs = std::filesystem;

struct Collector final : os::FolderScannerObserver {
    std::vector<std::string> files;
    int finished = 0;
    void on_file(std::u16string_view path) override { files.push_back(os::to_utf8(path)); }
    void on_finished() override { ++finished; }
};

class FolderScannerTest : public ::testing::Test {
protected:
    void SetUp() override {
        root = fs::temp_directory_path() / ("scanner-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        fs::create_directories(root);
    }
    void TearDown() override { fs::remove_all(root); }

    void touch(const fs::path& path) {
        fs::create_directories(path.parent_path());
        std::ofstream(path) << "x";
    }

    // Steps the tick one millisecond at a time until the scan finishes; returns the expiries.
    int expiries_until_finished(FakeTick& tick) {
        for (int expiries = 1; expiries < 1000; ++expiries) {
            tick.advance(1);
            loop.run_until_idle();
            if (collector.finished) return expiries;
        }
        return -1;
    }

    std::vector<std::string> sorted_files() {
        std::vector<std::string> files = collector.files;
        std::sort(files.begin(), files.end());
        return files;
    }

    fs::path root;
    PlainEventLoop loop;
    CActiveScheduler scheduler{loop};
    Collector collector;
};

TEST_F(FolderScannerTest, EmptyFolderFinishesAfterTwoExpiries) {
    FakeTick tick(1000);
    os::FolderScanner scanner(collector);
    scanner.set_slice_seconds(0);
    scanner.start(os::from_utf8(root.string()), true);
    loop.run_until_idle();
    EXPECT_EQ(collector.finished, 0);  // nothing before the first expiry
    EXPECT_EQ(expiries_until_finished(tick), 2);
    EXPECT_TRUE(collector.files.empty());
    EXPECT_FALSE(scanner.is_scanning());
    // Finished means stopped: no further report.
    tick.advance(10);
    loop.run_until_idle();
    EXPECT_EQ(collector.finished, 1);
}

TEST_F(FolderScannerTest, OneEntryPerExpiry) {
    FakeTick tick(0xFFFFFFF0u);
    touch(root / "a.mp3");
    touch(root / "b.wav");
    touch(root / "c.txt");
    os::FolderScanner scanner(collector);
    scanner.set_slice_seconds(0);
    scanner.start(os::from_utf8(root.string()), false);
    // Three entries take three expiries, the report of the end one more.
    EXPECT_EQ(expiries_until_finished(tick), 4);
    const std::string base = root.string();
    EXPECT_EQ(sorted_files(), (std::vector<std::string>{base + "/a.mp3", base + "/b.wav", base + "/c.txt"}));
}

TEST_F(FolderScannerTest, WalksATreeRecursivelyOrNot) {
    touch(root / "top.mp3");
    touch(root / "Incoming" / "call 1.mp3");
    touch(root / "Incoming" / "deeper" / "call 2.wav");
    touch(root / "Outgoing" / "ünïcode.mp3");
    fs::create_directories(root / "empty");
    fs::create_symlink(root, root / "Incoming" / "loop");  // a link back up must not make it endless
    const std::string base = root.string();
    {
        os::FolderScanner scanner(collector);
        scanner.start(os::from_utf8(base + "/"), true);
        ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
        EXPECT_EQ(sorted_files(),
                  (std::vector<std::string>{base + "/Incoming/call 1.mp3", base + "/Incoming/deeper/call 2.wav",
                                            base + "/Outgoing/ünïcode.mp3", base + "/top.mp3"}));
    }
    collector = Collector();
    os::FolderScanner scanner(collector);
    scanner.start(os::from_utf8(base), false);
    ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
    EXPECT_EQ(sorted_files(), (std::vector<std::string>{base + "/top.mp3"}));
}

TEST_F(FolderScannerTest, MissingAndVanishingFoldersAreSkipped) {
    touch(root / "keep" / "a.mp3");
    touch(root / "gone" / "b.mp3");
    struct Remover final : os::FolderScannerObserver {
        Collector& inner;
        fs::path doomed;
        Remover(Collector& inner, fs::path doomed) : inner(inner), doomed(std::move(doomed)) {}
        void on_file(std::u16string_view path) override {
            inner.on_file(path);
            fs::remove_all(doomed);  // vanishes while queued
        }
        void on_finished() override { inner.on_finished(); }
    } remover(collector, root / "gone");
    touch(root / "first.mp3");
    os::FolderScanner scanner(remover);
    scanner.start(os::from_utf8((root / "no such folder").string()), true);
    scanner.start(os::from_utf8(root.string()), true);
    ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
    const std::string base = root.string();
    EXPECT_EQ(sorted_files(), (std::vector<std::string>{base + "/first.mp3", base + "/keep/a.mp3"}));
}

TEST_F(FolderScannerTest, SlicesReportTheSameFilesInTheSameOrderAndKeepAFolderBeingRead) {
    for (int f = 0; f < 3; ++f) {
        for (int i = 0; i < 20; ++i) touch(root / ("F" + std::to_string(f)) / ("r" + std::to_string(i) + ".mp3"));
    }
    touch(root / "extra" / "x.mp3");
    const std::string base = root.string();
    std::vector<std::vector<std::string>> orders;
    std::vector<int> expiries;
    for (double slice : {0.0, os::FolderScanner::default_slice_seconds, 10.0}) {
        collector = Collector();
        FakeTick tick(5);
        os::FolderScanner scanner(collector);
        scanner.set_slice_seconds(slice);
        scanner.start(os::from_utf8(base + "/F0"), true);
        scanner.start(os::from_utf8(base + "/F1"), true);
        scanner.start(os::from_utf8(base + "/F2"), true);
        expiries.push_back(expiries_until_finished(tick));
        orders.push_back(collector.files);
    }
    EXPECT_EQ(orders[0].size(), 60u);
    EXPECT_EQ(orders[1], orders[0]);
    EXPECT_EQ(orders[2], orders[0]);
    EXPECT_EQ(expiries[0], 61);  // one entry each (a folder begins with its first), one end
    EXPECT_EQ(expiries[2], 1);   // everything in one long slice

    // A folder queued while another is being read (from on_file, as a watched folder appears)
    // loses none of the entries of the folder under way.
    struct Starter final : os::FolderScannerObserver {
        Collector& inner;
        os::FolderScanner* scanner = nullptr;
        std::u16string extra;
        explicit Starter(Collector& inner) : inner(inner) {}
        void on_file(std::u16string_view path) override {
            inner.on_file(path);
            if (inner.files.size() == 3) scanner->start(extra, true);
        }
        void on_finished() override { inner.on_finished(); }
    };
    collector = Collector();
    Starter starter(collector);
    starter.extra = os::from_utf8(base + "/extra");
    os::FolderScanner scanner(starter);
    starter.scanner = &scanner;
    scanner.set_slice_seconds(0);
    scanner.start(os::from_utf8(base + "/F0"), false);
    ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
    EXPECT_EQ(collector.files.size(), 21u);
    EXPECT_EQ(collector.files.back(), base + "/extra/x.mp3");

    // Single files go before the folders still queued, and an idle scanner starts for them.
    collector = Collector();
    scanner.set_slice_seconds(os::FolderScanner::default_slice_seconds);
    scanner.add_file(u"/one.mp3");
    EXPECT_TRUE(scanner.is_scanning());
    ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
    EXPECT_EQ(collector.files, (std::vector<std::string>{"/one.mp3"}));
    collector = Collector();
    scanner.start(os::from_utf8(base + "/extra"), false);
    scanner.add_file(u"/two.mp3");
    ASSERT_TRUE(loop.run_until([&] { return collector.finished == 1; }));
    EXPECT_EQ(collector.files, (std::vector<std::string>{"/two.mp3", base + "/extra/x.mp3"}));
}

}  // namespace
