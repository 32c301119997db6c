// A Linux phone end to end: dbusmock's ModemManager on a private bus, quillon-phone bridge
// following it, and quillon-touch recording what the bridge publishes, all as real processes.
#include <signal.h>
#include <stdlib.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "audio/mp3/id3_reader.h"
#include "os/text.h"
#include "tests/calls/calls_test_support.h"
#include "tests/dbus/bus_environment.h"
#include "tests/dbus/modem_manager_mock.h"
#include "tests/dbus/ofono_mock.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace calls_test;
using namespace bus_test;
namespace fs = std::filesystem;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
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

TEST_F(BridgeCall, AKilledBridgeEndsTheRecordingWithinSixSeconds) {
    start_touch();
    ASSERT_TRUE(modem_manager->add_call(1, mm_ringing_in, mm_incoming, caller_number));
    ASSERT_TRUE(ModemManagerMock::set_state(1, mm_ringing_in, mm_active));
    const std::string path = await_recording(documents() + "/Incoming");
    ASSERT_FALSE(path.empty());
    EXPECT_TRUE(await([&] { return duration_of(path) > 0.5; }, 10.0));
    // Killed: it cannot take its calls back, and "Bridge" stays in the registry.
    ::kill(bridge, SIGKILL);
    const Stopwatch watch;
    EXPECT_EQ(wait_exit(bridge, 10.0), -1);
    bridge = -1;
    EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 10.0));
    const double seconds = watch.elapsed();
    std::printf("[ figure ] bridge killed to the end of the recording: %.2f s\n", seconds);
    EXPECT_LT(seconds, 6.0);
    EXPECT_GT(seconds, 3.0);
    EXPECT_NE(touch_log().find("CallMonitorImpl publisher silent"), std::string::npos);
    sync_touch();
    const auto size_at_end = fs::file_size(path);
    sleep_seconds(0.5);
    EXPECT_EQ(fs::file_size(path), size_at_end);
    EXPECT_EQ(stop_touch(), 0);
}

// Call waiting and hold on either stack: the party talked to decides what is recorded.
class StackCall : public CallsFixture, public ::testing::WithParamInterface<std::string> {
protected:
    static constexpr const char* never_number = "0800 123 456";

    void SetUp() override {
        CallsFixture::SetUp();
        if (ofono()) {
            ofono_mock = std::make_unique<OfonoMock>(g_bus_folder + "/dbusmock.log");
            ASSERT_TRUE(ofono_mock->ok());
        } else {
            modem_manager = std::make_unique<ModemManagerMock>(g_bus_folder + "/dbusmock.log");
            ASSERT_TRUE(modem_manager->ok());
        }
        bridge = spawn("quillon-phone", {"bridge"});
        ASSERT_TRUE(
            await([&] { return phone_log().find(GetParam() + " found on the system bus") != std::string::npos; }, 20.0))
            << phone_log();
        ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
        ASSERT_EQ(settings({"NeverRecord", never_number}).status, 0);
    }
    void TearDown() override {
        if (bridge > 0) {
            ::kill(bridge, SIGTERM);
            EXPECT_EQ(wait_exit(bridge, 20.0), 0);
        }
        modem_manager.reset();
        ofono_mock.reset();
        CallsFixture::TearDown();
    }

    bool ofono() const { return GetParam() == "oFono"; }
    static std::string ofono_path(int id) { return "/ril_0/voicecall" + std::to_string(id); }

    // A call rings, or waits behind a connected one; the network names it "WIRELESS CALLER".
    bool ring(int id, const std::string& number, bool waiting) {
        states[id] = waiting ? mm_waiting : mm_ringing_in;
        if (ofono())
            return ofono_mock->add_incoming(ofono_path(id), number, "WIRELESS CALLER",
                                            waiting ? "waiting" : "incoming");
        return modem_manager->add_call(id, states[id], mm_incoming, number);
    }
    bool set(int id, int state) {
        const int old = states[id];
        states[id] = state;
        if (ofono()) {
            const char* word = state == mm_active ? "active" : state == mm_held ? "held" : "disconnected";
            return OfonoMock::set_state(ofono_path(id), word) &&
                   (state != mm_terminated || OfonoMock::remove(ofono_path(id)));
        }
        return ModemManagerMock::set_state(id, old, state) &&
               (state != mm_terminated || ModemManagerMock::delete_call(id));
    }

    size_t count(const std::string& text) const {
        const std::string log = touch_log();
        size_t n = 0;
        for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
        return n;
    }
    std::vector<std::string> await_recordings(size_t n) {
        std::vector<std::string> found;
        await([&] { return (found = recordings(documents(), true)).size() >= n; }, 20.0);
        return found;
    }
    static bool named_after(const std::string& path, const std::string& name) {
        return fs::path(path).filename().string().rfind(name + " ", 0) == 0;
    }

    std::unique_ptr<ModemManagerMock> modem_manager;
    std::unique_ptr<OfonoMock> ofono_mock;
    std::map<int, int> states;
    pid_t bridge = -1;
};

TEST_P(StackCall, ANeverRecordCallerTakenWhileARecordedCallIsHeldIsNotInItsFile) {
    start_touch();
    ASSERT_TRUE(ring(1, caller_number, false));
    ASSERT_TRUE(set(1, mm_active));
    std::vector<std::string> found = await_recordings(1);
    ASSERT_EQ(found.size(), 1u);
    const std::string first = found.front();
    // The contact's name, not the network's.
    EXPECT_TRUE(named_after(first, caller_name)) << first;
    EXPECT_TRUE(await([&] { return tag_written(first) && duration_of(first) > 0.8; }, 10.0));

    // A never-record caller waits, and is taken while the first caller is held.
    ASSERT_TRUE(ring(2, never_number, true));
    ASSERT_TRUE(set(1, mm_held));
    ASSERT_TRUE(set(2, mm_active));
    ASSERT_TRUE(await(
        [&] { return touch_log().find("never recorded automatically: 0800 123 456") != std::string::npos; }, 10.0))
        << touch_log();
    EXPECT_EQ(count("on_call_stop\n"), 1u);
    sync_touch();
    const auto size_at_switch = fs::file_size(first);
    // The conversation with the never-record caller goes on; nothing may be written meanwhile.
    sleep_seconds(1.5);
    sync_touch();
    EXPECT_EQ(fs::file_size(first), size_at_switch);
    EXPECT_EQ(recordings(documents(), true).size(), 1u);

    // The never-record caller hangs up and the first caller is resumed: a new file for them.
    ASSERT_TRUE(set(2, mm_terminated));
    ASSERT_TRUE(set(1, mm_active));
    found = await_recordings(2);
    ASSERT_EQ(found.size(), 2u);
    for (const std::string& path : found) EXPECT_TRUE(named_after(path, caller_name)) << path;
    const std::string second = found[0] == first ? found[1] : found[0];
    EXPECT_TRUE(await([&] { return tag_written(second) && duration_of(second) > 0.5; }, 10.0));
    ASSERT_TRUE(set(1, mm_terminated));
    EXPECT_TRUE(await([&] { return count("on_call_stop\n") == 3; }, 10.0)) << touch_log();
    sync_touch();
    EXPECT_EQ(recordings(documents(), true).size(), 2u);
    EXPECT_EQ(stop_touch(), 0);
}

TEST_P(StackCall, ACallTakenWhileANeverRecordCallIsHeldIsRecorded) {
    start_touch();
    ASSERT_TRUE(ring(1, never_number, false));
    ASSERT_TRUE(set(1, mm_active));
    ASSERT_TRUE(await(
        [&] { return touch_log().find("never recorded automatically: 0800 123 456") != std::string::npos; }, 10.0))
        << touch_log();
    ASSERT_TRUE(ring(2, caller_number, true));
    ASSERT_TRUE(set(1, mm_held));
    ASSERT_TRUE(set(2, mm_active));
    std::vector<std::string> found = await_recordings(1);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_TRUE(named_after(found.front(), caller_name)) << found.front();
    EXPECT_TRUE(await([&] { return tag_written(found.front()) && duration_of(found.front()) > 0.8; }, 10.0));
    // Back to the never-record caller: the recording ends, and nothing more is recorded.
    ASSERT_TRUE(set(2, mm_terminated));
    ASSERT_TRUE(set(1, mm_active));
    EXPECT_TRUE(await([&] { return count("never recorded automatically: 0800 123 456") == 2; }, 10.0)) << touch_log();
    sync_touch();
    const auto size_at_switch = fs::file_size(found.front());
    sleep_seconds(1.0);
    sync_touch();
    EXPECT_EQ(fs::file_size(found.front()), size_at_switch);
    ASSERT_TRUE(set(1, mm_terminated));
    sync_touch();
    EXPECT_EQ(recordings(documents(), true).size(), 1u);
    EXPECT_EQ(stop_touch(), 0);
}

INSTANTIATE_TEST_SUITE_P(Stacks, StackCall, ::testing::Values("ModemManager", "oFono"));

}  // namespace
