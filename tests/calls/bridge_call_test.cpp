// A Linux phone end to end: dbusmock's ModemManager on a private bus, quillon-phone bridge
// following it, and quillon-touch recording what the bridge publishes, all as real processes.
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "audio/mp3/id3_reader.h"
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

// The tick at the end of the first log line that holds the text; -1 when there is none.
long long tick_of_line(const std::string& log, const std::string& text) {
    const size_t at = log.find(text);
    if (at == std::string::npos) return -1;
    const size_t end = log.find('\n', at);
    const size_t space = log.rfind(' ', end);
    return std::atoll(log.substr(space + 1, end - space - 1).c_str());
}

class BridgeCall : public CallsFixture {
protected:
    void SetUp() override {
        CallsFixture::SetUp();
        modem_manager = std::make_unique<ModemManagerMock>(g_bus_folder + "/dbusmock.log");
        ASSERT_TRUE(modem_manager->ok());
        bridge = spawn("quillon-phone", {"bridge"});
        ASSERT_TRUE(
            await([&] { return phone_log().find("ModemManager found on the system bus") != std::string::npos; }, 20.0))
            << phone_log();
        const ProgramRun enabled = settings({"AutoRecord", "1"});
        ASSERT_EQ(enabled.status, 0) << enabled.output;
    }
    void TearDown() override {
        if (bridge > 0) {
            ::kill(bridge, SIGTERM);
            EXPECT_EQ(wait_exit(bridge, 20.0), 0);
        }
        modem_manager.reset();
        CallsFixture::TearDown();
    }

    // Waits for the one recording in folder; empty when none came.
    std::string await_recording(const std::string& folder) {
        std::vector<std::string> found;
        await([&] { return !(found = recordings(folder)).empty(); }, 20.0);
        EXPECT_EQ(found.size(), 1u);
        if (found.empty()) return {};
        EXPECT_TRUE(await([&] { return tag_written(found.front()); }, 10.0)) << found.front();
        return found.front();
    }

    std::unique_ptr<ModemManagerMock> modem_manager;
    pid_t bridge = -1;
};

TEST_F(BridgeCall, AnsweredCallIsRecordedNamedAndFiledAfterTheCallerAndStopsWhenItEnds) {
    start_touch();
    ASSERT_TRUE(modem_manager->add_call(1, mm_ringing_in, mm_incoming, caller_number));
    ASSERT_TRUE(await([&] { return phone_log().find("ringing=1") != std::string::npos; }, 10.0));
    const Stopwatch watch;
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_ringing_in, mm_active));
    const std::string path = await_recording(documents() + "/Incoming");
    const double seconds_to_file = watch.elapsed();
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).filename().string().rfind(std::string(caller_name) + " ", 0), 0u) << path;
    EXPECT_EQ(read_record_tags(os::from_utf8(path)).artist, os::from_utf8(caller_name));
    EXPECT_TRUE(read_tag_picture(path).present);
    EXPECT_LT(seconds_to_file, 3.0);
    const long long published = tick_of_line(phone_log(), "connected=1");
    const long long started = tick_of_line(touch_log(), "on_call_start ");
    ASSERT_GT(published, 0);
    ASSERT_GT(started, 0);
    std::printf("[ figure ] modem call active to recording file: %.3f s; bridge published to on_call_start: %lld ms\n",
                seconds_to_file, started - published);

    const auto tag_end = fs::file_size(path);
    // Most of a second of audio (64 kbit/s) before the call ends: audio reaches the file every 0.2 s.
    EXPECT_TRUE(await([&] { return fs::file_size(path) > tag_end + 6000; }, 10.0)) << "no audio reached " << path;
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_active, mm_terminated));
    ASSERT_TRUE(ModemManagerMock::delete_call(1));
    EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 10.0));
    sync_touch();
    const auto size_at_end = fs::file_size(path);
    EXPECT_GT(duration_of(path), 0.3);
    EXPECT_EQ(recordings(documents(), true).size(), 1u);
    EXPECT_EQ(stop_touch(), 0);
    EXPECT_EQ(fs::file_size(path), size_at_end);
}

TEST_F(BridgeCall, ModemStackGoneMidCallEndsTheRecordingAfterThePatience) {
    start_touch();
    ASSERT_TRUE(modem_manager->add_call(1, mm_ringing_in, mm_incoming, caller_number));
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_ringing_in, mm_active));
    const std::string path = await_recording(documents() + "/Incoming");
    ASSERT_FALSE(path.empty());
    // ModemManager dies and does not come back: the call cannot be followed, so it is over.
    modem_manager->stop();
    EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 20.0));
    EXPECT_NE(phone_log().find("did not list 1 call(s) again"), std::string::npos) << phone_log();
    sync_touch();
    EXPECT_EQ(stop_touch(), 0);
}

}  // namespace
