// "Open" on a call's notification, end to end with real processes: dbusmock's ModemManager and
// notification daemon on a private bus, quillon-phone bridge keeping the notification, and
// quillon-touch started for the call, quitting at hang-up, and started again by the notification's
// action to open the recording. Also "quillon-touch open PATH" handed to a running instance, and a
// call recorded onto a storage that fills up.
#include <errno.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "os/text.h"
#include "tests/calls/calls_test_support.h"
#include "tests/dbus/bus_environment.h"
#include "tests/dbus/modem_manager_mock.h"

namespace {

using namespace calls_test;
using namespace bus_test;
namespace fs = std::filesystem;

const std::string g_bus_folder = [] {
    char pattern[] = "/tmp/quillon-bus-XXXXXX";
    const char* folder = ::mkdtemp(pattern);
    return std::string(folder ? folder : "/tmp");
}();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

const char* const notifications = "org.freedesktop.Notifications";
const char* const notifications_path = "/org/freedesktop/Notifications";

std::string notify_calls() {
    std::string reply;
    call_method(notifications, notifications_path, "org.freedesktop.DBus.Mock", "GetMethodCalls", "('Notify',)",
                &reply);
    return reply;
}

bool choose_notification(int id) {
    return mock(
        notifications, notifications_path, "EmitSignal",
        "('org.freedesktop.Notifications', 'ActionInvoked', 'us', [<uint32 " + std::to_string(id) + ">, <'default'>])");
}

// The number after "(pid " on the line that holds text; -1 when there is none.
pid_t pid_after(const std::string& log, const std::string& text) {
    const size_t at = log.find(text);
    if (at == std::string::npos) return -1;
    const size_t pid_at = log.find("(pid ", at);
    if (pid_at == std::string::npos || pid_at > log.find('\n', at)) return -1;
    return static_cast<pid_t>(std::atol(log.c_str() + pid_at + 5));
}

class CallNotificationOpen : public CallsFixture {
protected:
    void SetUp() override {
        CallsFixture::SetUp();
        daemon =
            std::make_unique<MockService>(notifications, std::vector<std::string>{"--template", "notification_daemon"},
                                          g_bus_folder + "/notifications.log");
        ASSERT_TRUE(daemon->ok());
    }
    void TearDown() override {
        if (bridge > 0) {
            ::kill(bridge, SIGTERM);
            EXPECT_EQ(wait_exit(bridge, 20.0), 0);
        }
        modem_manager.reset();
        daemon.reset();
        CallsFixture::TearDown();
    }

    void start_bridge() {
        modem_manager = std::make_unique<ModemManagerMock>(g_bus_folder + "/dbusmock.log");
        ASSERT_TRUE(modem_manager->ok());
        bridge = spawn("quillon-phone", {"bridge"});
        ASSERT_TRUE(await(
            [&] {
                const std::string log = phone_log();
                return log.find("ModemManager found on the system bus") != std::string::npos &&
                       log.find("bridge: keeps the call notifications") != std::string::npos;
            },
            20.0))
            << phone_log();
    }

    // A voice note of about a second, made by quillon-tool; its path.
    std::string voice_note() {
        const ProgramRun made = run("quillon-tool", {"record", "--seconds", "1"});
        EXPECT_EQ(made.status, 0) << made.output;
        const std::vector<std::string> found = recordings(documents(), true);
        EXPECT_EQ(found.size(), 1u);
        return found.empty() ? std::string() : found.front();
    }

    std::unique_ptr<MockService> daemon;
    std::unique_ptr<ModemManagerMock> modem_manager;
    pid_t bridge = -1;
};

TEST_F(CallNotificationOpen, TheBridgeKeepsTheNotificationAndItsActionOpensTheRecordingAfterTheInstanceQuit) {
    start_bridge();
    ASSERT_TRUE(modem_manager->add_call(1, mm_ringing_in, mm_incoming, caller_number));
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_ringing_in, mm_active));
    ASSERT_TRUE(await([&] { return phone_log().find("connected=1") != std::string::npos; }, 10.0)) << phone_log();
    // As the phone starts it: for the call, with no window in use, so it quits when the call ends.
    touch = spawn("quillon-touch", {"call"});
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents(), true)).empty(); }, 20.0)) << touch_log();
    const std::string path = found.front();
    EXPECT_TRUE(await([&] { return tag_written(path) && duration_of(path) > 1.0; }, 20.0)) << touch_log();
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_active, mm_terminated));
    ASSERT_TRUE(ModemManagerMock::delete_call(1));
    const int status = wait_exit(touch, 30.0);
    if (status != -2) touch = -1;
    ASSERT_EQ(status, 0) << touch_log();
    EXPECT_NE(touch_log().find("CallNotification: kept by the phone bridge"), std::string::npos) << touch_log();

    // The bridge showed it as its own, in the recorder's words, with the action.
    ASSERT_TRUE(await([&] { return phone_log().find("bridge: notification kept: ") != std::string::npos; }, 10.0))
        << phone_log();
    EXPECT_NE(phone_log().find("(opens " + path + ")"), std::string::npos) << phone_log();
    const std::string calls = notify_calls();
    EXPECT_NE(calls.find("<'Call with " + std::string(caller_name) + " recorded, 0:0"), std::string::npos) << calls;
    EXPECT_NE(calls.find("<['default', 'Open']>"), std::string::npos) << calls;

    // Chosen now that no instance runs: a new one starts and plays the recording.
    ASSERT_TRUE(choose_notification(1));
    ASSERT_TRUE(await([&] { return pid_after(phone_log(), "notification chosen: opening " + path) > 0; }, 10.0))
        << phone_log();
    const pid_t opened = pid_after(phone_log(), "notification chosen: opening " + path);
    const bool playing =
        await([&] { return touch_log().find("open: playing " + path + "\n") != std::string::npos; }, 30.0);
    ::kill(opened, SIGTERM);
    EXPECT_TRUE(playing) << touch_log();
    // The bridge reaps what it started.
    EXPECT_TRUE(await(
        [&] {
            return phone_log().find("opener " + std::to_string(opened) + " ended with status 0") != std::string::npos;
        },
        30.0))
        << phone_log();
    // Chosen once, acted on once.
    ASSERT_TRUE(choose_notification(1));
    sleep_seconds(0.5);
    EXPECT_EQ(phone_log().find("notification chosen", phone_log().find("ended with status")), std::string::npos);
}

TEST_F(CallNotificationOpen, OpenHandedToARunningInstancePlaysTheRecordingOrTellsThatItIsGone) {
    const std::string path = voice_note();
    ASSERT_FALSE(path.empty());
    start_touch();
    const ProgramRun opened = run("quillon-touch", {"open", path});
    EXPECT_EQ(opened.status, 0) << opened.output;
    EXPECT_TRUE(await([&] { return touch_log().find("open: playing " + path + "\n") != std::string::npos; }, 20.0))
        << touch_log();

    // A relative path means the sender's folder, not the instance's.
    const std::string folder = fs::path(path).parent_path().string();
    const std::string name = fs::path(path).filename().string();
    const std::string here = fs::current_path().string();
    ASSERT_EQ(::chdir(folder.c_str()), 0);
    const ProgramRun relative = run("quillon-touch", {"open", name});
    ASSERT_EQ(::chdir(here.c_str()), 0);
    EXPECT_EQ(relative.status, 0) << relative.output;
    sync_touch();
    size_t first = touch_log().find("open: playing " + path + "\n");
    EXPECT_NE(touch_log().find("open: playing " + path + "\n", first + 1), std::string::npos) << touch_log();

    // A file that is gone is told on screen, and the instance runs on.
    const std::string gone = documents() + "/gone.mp3";
    EXPECT_EQ(run("quillon-touch", {"open", gone}).status, 0);
    EXPECT_TRUE(await([&] { return touch_log().find("open: " + gone + " is gone\n") != std::string::npos; }, 20.0))
        << touch_log();
    sync_touch();
    EXPECT_EQ(stop_touch(), 0);
}

TEST_F(CallNotificationOpen, WithoutABridgeTheInstanceShowsTheNotificationItself) {
    ASSERT_EQ(phone({"incoming", caller_number}).status, 0);
    ASSERT_EQ(phone({"answer"}).status, 0);
    touch = spawn("quillon-touch", {"call"});
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents(), true)).empty(); }, 20.0)) << touch_log();
    EXPECT_TRUE(await([&] { return duration_of(found.front()) > 0.5; }, 20.0));
    ASSERT_EQ(phone({"hangup"}).status, 0);
    const int status = wait_exit(touch, 30.0);
    if (status != -2) touch = -1;
    ASSERT_EQ(status, 0) << touch_log();
    EXPECT_NE(touch_log().find("CallNotification: shown here, no phone bridge took it"), std::string::npos)
        << touch_log();
    const std::string calls = notify_calls();
    EXPECT_NE(calls.find("<'Call with " + std::string(caller_name) + " recorded, 0:0"), std::string::npos) << calls;
}

// The recordings' folder on a real, tiny file system (a tmpfs of 48 KiB: the tag and about five
// seconds of a call), which the call's recording fills.
class FullStorage : public CallNotificationOpen {
protected:
    void SetUp() override {
        CallNotificationOpen::SetUp();
        if (HasFatalFailure()) return;
        fs::create_directories(documents());
        if (::mount("quillon-test", documents().c_str(), "tmpfs", MS_NOSUID | MS_NODEV, "size=48k,mode=0700") != 0) {
            GTEST_SKIP() << "no tmpfs can be mounted here (" << ::strerror(errno) << "); run as root";
        }
        mounted = true;
    }
    void TearDown() override {
        CallNotificationOpen::TearDown();
        if (mounted) {
            EXPECT_EQ(::umount2(documents().c_str(), MNT_DETACH), 0) << ::strerror(errno);
        }
    }
    bool mounted = false;
};

TEST_F(FullStorage, ACallRecordingThatFillsTheStorageIsToldAsStoppedEarly) {
    ASSERT_EQ(phone({"incoming", caller_number}).status, 0);
    ASSERT_EQ(phone({"answer"}).status, 0);
    touch = spawn("quillon-touch", {"call"});
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents(), true)).empty(); }, 20.0)) << touch_log();
    const std::string path = found.front();
    // The call goes on; the storage is full after some seconds.
    const std::string told =
        "Call with " + std::string(caller_name) + " stopped early: the storage is full or cannot be written; 0:0";
    const bool notified = await([&] { return notify_calls().find(told) != std::string::npos; }, 40.0);
    ASSERT_EQ(phone({"hangup"}).status, 0);
    const int status = wait_exit(touch, 30.0);
    if (status != -2) touch = -1;
    EXPECT_EQ(status, 0) << touch_log();
    ASSERT_TRUE(notified) << notify_calls() << touch_log();
    const std::string calls = notify_calls();
    const size_t at = calls.find(told);
    std::printf("[ told ] %s; the file holds %.2f s\n", calls.substr(at, calls.find('\'', at) - at).c_str(),
                duration_of(path));
    EXPECT_NE(calls.find(" recorded'>, <''>, <['default', 'Open']>"), std::string::npos) << calls;
    // Never told as a whole recording.
    EXPECT_EQ(calls.find(std::string(caller_name) + " recorded,"), std::string::npos) << calls;
    // What fitted is kept and plays.
    EXPECT_TRUE(fs::exists(path));
    EXPECT_GT(duration_of(path), 2.0);
}

}  // namespace
