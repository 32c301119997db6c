// The single-instance rule under pressure: peers that connect and stall, an instance that is
// there but takes no command, a command handed over while the instance quits, and a quit signal
// while a start waits for the start-up mutex.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>

#include "app/instance_channel.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/document/document_test_support.h"
#include "tests/os/temp_root.h"

namespace {

namespace fs = std::filesystem;

constexpr std::u16string_view kClassName = u"GlazerClass_Quillon Touch";
constexpr std::u16string_view kAppName = u"Quillon Touch";

class InstanceRacesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1)); }

    std::u16string log() { return read_log_text(root.path() + "/Temp/quillon-touch.txt"); }
    bool log_has(std::u16string_view text) { return log().find(text) != std::u16string::npos; }
    size_t log_count(std::u16string_view text) {
        const std::u16string all = log();
        size_t count = 0;
        for (size_t at = all.find(text); at != std::u16string::npos; at = all.find(text, at + 1)) ++count;
        return count;
    }
    std::string recordings_folder() { return root.path() + "/Documents/My Quillon"; }
    std::uintmax_t recorded_bytes() {
        std::uintmax_t bytes = 0;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(recordings_folder(), ignored)) {
            if (entry.path().extension() == ".mp3") bytes += entry.file_size(ignored);
        }
        return bytes;
    }
    size_t recording_count() {
        size_t count = 0;
        std::error_code ignored;
        for (const auto& entry : fs::directory_iterator(recordings_folder(), ignored)) {
            if (entry.path().extension() == ".mp3") ++count;
        }
        return count;
    }

    TempRoot root;
    FolderWatch watch{root.path()};
};

TEST_F(InstanceRacesTest, StalledPeersDoNotMakeASecondInstance) {
    Program first({});
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"WinMain2:"); })) << os::to_utf8(log());
    // Peers that connect and send nothing, or half a header, and stay.
    std::vector<int> stalled;
    for (int i = 0; i < 6; ++i) {
        long long peer = 0;
        const int socket = instance_channel::connect_to_running_instance(kClassName, peer);
        ASSERT_GE(socket, 0);
        if (i % 2) ::send(socket, "\x10\x00", 2, MSG_NOSIGNAL);
        stalled.push_back(socket);
    }
    Program second({"record"});
    EXPECT_EQ(second.wait(), 0);
    EXPECT_TRUE(log_has(u"on_other_instance_started:record\n"));
    EXPECT_EQ(log_count(u"WinMain1:"), 1u);
    for (int socket : stalled) ::close(socket);
    first.signal(SIGTERM);
    EXPECT_EQ(first.wait(), 0);
}

TEST_F(InstanceRacesTest, AStartNeverRunsBesideAnInstanceThatTakesNothing) {
    // This process plays a running instance that takes no command (as one that is quitting).
    instance_channel::RunningMark mark;
    ASSERT_TRUE(mark.try_take(kAppName));
    auto server = std::make_unique<instance_channel::InstanceServer>(
        [](std::u16string, instance_channel::Receipt receipt) { receipt.drop(); });
    ASSERT_TRUE(server->start(kClassName));

    Program second({"record"});
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"waiting for the running instance\n"); })) << os::to_utf8(log());
    EXPECT_FALSE(log_has(u"WinMain1:"));

    // Once the running instance has gone, the waiting start becomes it.
    server.reset();
    mark.release();
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"Starter:"); })) << os::to_utf8(log());
    EXPECT_EQ(log_count(u"WinMain1:"), 1u);
    second.signal(SIGTERM);
    EXPECT_EQ(second.wait(), 0);
}

TEST_F(InstanceRacesTest, ACommandHandedOverWhileQuittingStartsTheNextInstance) {
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    ScopedEnv env;
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "1");
    env.unset("QUILLON_APP_DIR");

    auto first = std::make_unique<Program>(std::vector<std::string>{"record"});
    // Some audio in the file first: an empty recording is removed when its instance ends.
    ASSERT_TRUE(watch.wait_until([&] { return recorded_bytes() >= 4096 && log_has(u"Starter:"); }))
        << os::to_utf8(log());
    first->signal(SIGTERM);
    // Quitting has begun: from here the command must go to the next instance, not be acknowledged
    // and dropped by this one.
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"quit signal=15\n"); }));
    Program second({"record"});
    EXPECT_EQ(first->wait(), 0);
    ASSERT_TRUE(watch.wait_until([&] { return recording_count() == 2; }, 30000)) << os::to_utf8(log());
    EXPECT_EQ(log_count(u"on_other_instance_started:"), 0u);
    second.signal(SIGTERM);
    EXPECT_EQ(second.wait(), 0);

    env.unset("QUILLON_AUDIO_IN");
    env.unset("QUILLON_AUDIO_OUT");
    env.unset("QUILLON_AUDIO_PACE");
}

TEST_F(InstanceRacesTest, AQuitSignalWhileWaitingForTheMutexEndsTheStart) {
    instance_channel::StartupMutex mutex;
    ASSERT_TRUE(mutex.open(kAppName));
    ASSERT_EQ(mutex.wait(), instance_channel::WaitResult::Owned);
    Program second({"record"});
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"cmd_line=record\n"); })) << os::to_utf8(log());
    second.signal(SIGTERM);
    // Even with the mutex free now, the start ends by the signal and runs nothing.
    mutex.release();
    EXPECT_EQ(second.wait(), -1);
    EXPECT_FALSE(log_has(u"WinMain1:"));
    EXPECT_FALSE(fs::exists(recordings_folder()));
}

}  // namespace
