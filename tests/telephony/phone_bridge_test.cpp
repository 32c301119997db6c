// The phone bridge against python3-dbusmock stand-ins for ModemManager, oFono and callaudiod on a
// private bus: what the bridge publishes is read back the way the call monitor reads it.
#include "telephony/bridge/phone_bridge.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "os/registry.h"
#include "os/text.h"
#include "telephony/call_launch.h"
#include "telephony/call_state.h"
#include "telephony/phone_state.h"
#include "telephony/speaker_phone.h"
#include "telephony/telephony_platform.h"
#include "tests/dbus/bus_environment.h"
#include "tests/dbus/modem_manager_mock.h"
#include "tests/dbus/ofono_mock.h"
#include "tests/support/scoped_env.h"
#include "tests/telephony/telephony_test_env.h"

using namespace telephony_test;
using namespace bus_test;

namespace {

const std::string mm = bus_test::ModemManagerMock::name;
const std::string modem = bus_test::ModemManagerMock::modem;

::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(root() + "/bus"));

std::string mock_log() { return root() + "/dbusmock.log"; }

// A ModemManager stand-in whose log goes beside the test's root.
class ModemManagerMock : public bus_test::ModemManagerMock {
public:
    explicit ModemManagerMock(const std::vector<std::string>& listed_calls = {})
        : bus_test::ModemManagerMock(mock_log(), listed_calls) {}
};

constexpr int dialing = mm_dialing, ringing_out = mm_ringing_out, ringing_in = mm_ringing_in, active = mm_active,
              held = mm_held, waiting = mm_waiting, terminated = mm_terminated;
constexpr int incoming = mm_incoming, outgoing = mm_outgoing;

class PhoneBridgeTest : public ::testing::Test {
protected:
    void SetUp() override {
        reset_phone();
        std::remove((root() + "/launched.txt").c_str());
    }
    void TearDown() override {
        bridge.reset();
        reset_phone();
    }

    void start_bridge(double patience = 5.0) {
        PhoneBridgeOptions options;
        options.restart_patience_seconds = patience;
        bridge = PhoneBridge::create(options);
        bridge->set_publish_listener(
            [this](const LineSnapshot& line, const std::vector<TriggeredLaunch>&) { published.push_back(line); });
        bridge->set_message_listener([this](const std::string& message) { messages.push_back(message); });
    }

    // Runs the bridge until what it published last meets the condition.
    template <typename Condition>
    bool await_line(Condition condition, double seconds = 10.0) {
        return bridge->run_until([&] { return !published.empty() && condition(published.back()); }, seconds);
    }
    bool await_stack(const std::string& stack) {
        return bridge->run_until([&] { return bridge->stack() == stack; }, 20.0);
    }

    bool ever_connected() const {
        for (const LineSnapshot& line : published) {
            if (line.connected) return true;
        }
        return false;
    }

    static CallDirection query(std::u16string& name, std::u16string& number) { return query_call_state(name, number); }

    std::unique_ptr<PhoneBridge> bridge;
    std::vector<LineSnapshot> published;
    std::vector<std::string> messages;
};

TEST_F(PhoneBridgeTest, SaysOnceThatNoStackIsThereAndFindsOneThatComesLater) {
    start_bridge();
    ASSERT_TRUE(bridge->run_until([&] { return !messages.empty(); }, 10.0));
    EXPECT_EQ(messages.front(), "neither ModemManager nor oFono is on the system bus; waiting for one");
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    ASSERT_TRUE(await_stack("ModemManager"));
    modem_manager.stop();
    ASSERT_TRUE(bridge->run_until([&] { return bridge->stack().empty(); }, 10.0));
    ASSERT_TRUE(bridge->run_until([&] { return messages.size() >= 4; }, 10.0));
    EXPECT_EQ(messages[1], "ModemManager found on the system bus");
    EXPECT_EQ(messages[2], "ModemManager left the system bus");
    EXPECT_EQ(messages[3], "neither ModemManager nor oFono is on the system bus; waiting for one");
    EXPECT_EQ(std::count(messages.begin(), messages.end(), messages.front()), 2);
}

TEST_F(PhoneBridgeTest, ASystemBusThatGoesAwayIsConnectedAgainWhenItComesBack) {
    const std::string program_bus = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
    const std::string folder = root() + "/second-bus";
    std::filesystem::create_directories(folder);
    auto bus = std::make_unique<PrivateBus>(folder);
    ASSERT_TRUE(bus->ok());
    PhoneBridgeOptions options;
    options.reconnect_seconds = 0.1;
    bridge = PhoneBridge::create(options);
    bridge->set_message_listener([this](const std::string& message) { messages.push_back(message); });
    ASSERT_TRUE(bridge->run_until([&] { return !messages.empty(); }, 10.0));
    EXPECT_EQ(messages.back(), "neither ModemManager nor oFono is on the system bus; waiting for one");
    // The daemon ends: the bridge says so and keeps trying; one at the same address is found.
    bus.reset();
    // Ending the daemon pointed the address back at the program's bus; the bridge must keep trying
    // the one that went away.
    test_support::ScopedEnv env;
    env.set("DBUS_SYSTEM_BUS_ADDRESS", "unix:path=" + folder + "/bus.socket");
    ASSERT_TRUE(bridge->run_until([&] { return messages.size() >= 2; }, 10.0));
    EXPECT_EQ(messages[1].rfind("the system bus closed", 0), 0u) << messages[1];
    bus = std::make_unique<PrivateBus>(folder);
    ASSERT_TRUE(bus->ok());
    ASSERT_TRUE(bridge->run_until(
        [&] { return std::find(messages.begin(), messages.end(), "system bus connected") != messages.end(); }, 10.0));
    bridge.reset();
    bus.reset();
    env.set("DBUS_SYSTEM_BUS_ADDRESS", program_bus);
    env.set("DBUS_SESSION_BUS_ADDRESS", program_bus);
}

TEST_F(PhoneBridgeTest, ModemManagerIncomingCallAnsweredRungOnlyAndRejected) {
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    start_bridge();
    ASSERT_TRUE(await_stack("ModemManager"));

    // Rung only: the caller gives up.
    ASSERT_TRUE(modem_manager.add_call(1, ringing_in, incoming, "+44 20 7946 0958"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.ringing; }));
    EXPECT_FALSE(is_talking());
    ASSERT_TRUE(modem_manager.set_state(1, ringing_in, terminated));
    ASSERT_TRUE(modem_manager.delete_call(1));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    // Rejected: the user declines it.
    ASSERT_TRUE(modem_manager.add_call(2, ringing_in, incoming, "+44 20 7946 0958"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.ringing; }));
    ASSERT_TRUE(modem_manager.delete_call(2));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    EXPECT_FALSE(ever_connected());

    // Answered: the call monitor's query sees an incoming call with its number.
    ASSERT_TRUE(modem_manager.add_call(3, ringing_in, incoming, "+44 20 7946 0958"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.ringing; }));
    ASSERT_TRUE(modem_manager.set_state(3, ringing_in, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    std::u16string name, number;
    EXPECT_EQ(query(name, number), call_direction_incoming);
    EXPECT_EQ(number, u"+44 20 7946 0958");
    EXPECT_EQ(phone_state::read_dword(phone_state::phone_key, phone_state::active_call_count), 1u);
    ASSERT_TRUE(modem_manager.set_state(3, active, terminated));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    EXPECT_FALSE(is_talking());
    name.clear();
    number.clear();
    EXPECT_EQ(query(name, number), call_direction_none);
}

TEST_F(PhoneBridgeTest, ModemManagerOutgoingCallIsAnOutgoingCallOnceAnswered) {
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    start_bridge();
    ASSERT_TRUE(await_stack("ModemManager"));
    ASSERT_TRUE(modem_manager.add_call(1, dialing, outgoing, "0800 123 456"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.dialling; }));
    ASSERT_TRUE(modem_manager.set_state(1, dialing, ringing_out));
    ASSERT_TRUE(modem_manager.set_state(1, ringing_out, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    std::u16string name, number;
    EXPECT_EQ(query(name, number), call_direction_outgoing);
    EXPECT_EQ(number, u"0800 123 456");
    ASSERT_TRUE(modem_manager.delete_call(1));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
}

TEST_F(PhoneBridgeTest, CallWaitingAndHoldPublishTheActivePartyAsItChanges) {
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    start_bridge();
    ASSERT_TRUE(await_stack("ModemManager"));
    ASSERT_TRUE(modem_manager.add_call(1, ringing_in, incoming, "111 111 111"));
    ASSERT_TRUE(modem_manager.set_state(1, ringing_in, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    const size_t connected_at = published.size() - 1;
    const uint32_t first_call = phone_state::read_active_call();
    EXPECT_NE(first_call, 0u);

    // A second caller waits: the line still describes the first.
    ASSERT_TRUE(modem_manager.add_call(2, waiting, incoming, "222 222 222"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 2; }));
    EXPECT_TRUE(published.back().ringing);
    EXPECT_EQ(published.back().first->number, u"111 111 111");
    // The first is held and the waiting one taken: the party talked to is now the second caller.
    ASSERT_TRUE(modem_manager.set_state(1, active, held));
    ASSERT_TRUE(modem_manager.set_state(2, waiting, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return !line.ringing && line.call_count == 2; }));
    EXPECT_EQ(published.back().first->number, u"222 222 222");
    EXPECT_EQ(published.back().first->phase, BridgeCallPhase::active);
    std::u16string name, number;
    EXPECT_EQ(query(name, number), call_direction_incoming);
    EXPECT_EQ(number, u"222 222 222");
    const uint32_t second_call = phone_state::read_active_call();
    EXPECT_NE(second_call, first_call);
    // Swapped back: the first caller again.
    ASSERT_TRUE(modem_manager.set_state(2, active, held));
    ASSERT_TRUE(modem_manager.set_state(1, held, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) {
        return line.first && line.first->number == u"111 111 111" && line.first->phase == BridgeCallPhase::active;
    }));
    EXPECT_EQ(phone_state::read_active_call(), first_call);
    ASSERT_TRUE(modem_manager.set_state(1, active, terminated));
    ASSERT_TRUE(modem_manager.delete_call(1));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 1; }));
    EXPECT_EQ(published.back().first->number, u"222 222 222");
    EXPECT_EQ(phone_state::read_active_call(), second_call);
    // Through all of it the phone was in a call.
    for (size_t i = connected_at; i < published.size(); ++i) EXPECT_TRUE(published[i].connected) << i;
    ASSERT_TRUE(modem_manager.set_state(2, held, terminated));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    EXPECT_EQ(phone_state::read_active_call(), 0u);
}

TEST_F(PhoneBridgeTest, ModemManagerRestartingMidCallKeepsTheCallOrEndsItAfterThePatience) {
    auto modem_manager = std::make_unique<ModemManagerMock>();
    ASSERT_TRUE(modem_manager->ok());
    start_bridge(1.0);
    ASSERT_TRUE(await_stack("ModemManager"));
    ASSERT_TRUE(modem_manager->add_call(1, ringing_in, incoming, "+44 20 7946 0958"));
    ASSERT_TRUE(modem_manager->set_state(1, ringing_in, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    const size_t connected_at = published.size() - 1;

    // The stack restarts and lists the call again under another path, direction now unknown.
    modem_manager->stop();
    ASSERT_TRUE(bridge->run_until([&] { return bridge->stack().empty(); }, 10.0));
    modem_manager = std::make_unique<ModemManagerMock>(std::vector<std::string>{ModemManagerMock::call_path(7)});
    ASSERT_TRUE(modem_manager->ok());
    ASSERT_TRUE(modem_manager->add_call(7, active, 0, "+44 20 7946 0958"));
    ASSERT_TRUE(await_stack("ModemManager"));
    ASSERT_TRUE(bridge->run_until(
        [&] { return !bridge->calls().calls().empty() && bridge->calls().calls()[0].confirmed; }, 10.0));
    ASSERT_EQ(bridge->calls().calls().size(), 1u);
    EXPECT_EQ(bridge->calls().calls()[0].direction, BridgeCallDirection::incoming);
    for (size_t i = connected_at; i < published.size(); ++i) EXPECT_TRUE(published[i].connected) << i;

    // It restarts again and the call is gone: after the patience the call is over.
    modem_manager->stop();
    modem_manager = std::make_unique<ModemManagerMock>();
    ASSERT_TRUE(modem_manager->ok());
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    EXPECT_FALSE(is_talking());
}

TEST_F(PhoneBridgeTest, WrongTypesAndHugeNumbersAreLoggedCutAndSurvived) {
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    start_bridge();
    ASSERT_TRUE(await_stack("ModemManager"));
    const std::string huge(10000, '5');
    ASSERT_TRUE(modem_manager.add_call(1, ringing_in, incoming, huge));
    ASSERT_TRUE(modem_manager.set_state(1, ringing_in, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    EXPECT_EQ(phone_state::read_text(phone_state::phone_key, phone_state::caller_number),
              std::u16string(phone_state::text_bound, u'5'));

    // A number that is not a string, a state that is not a number, a signal of the wrong shape.
    ASSERT_TRUE(mock(mm, ModemManagerMock::call_path(1), "UpdateProperties",
                     "('org.freedesktop.ModemManager1.Call', {'Number': <int32 5>, 'State': <'held'>})"));
    ASSERT_TRUE(mock(mm, ModemManagerMock::call_path(1), "EmitSignal",
                     "('org.freedesktop.ModemManager1.Call', 'StateChanged', 's', [<'ended'>])"));
    ASSERT_TRUE(
        mock(mm, modem, "EmitSignal", "('org.freedesktop.ModemManager1.Modem.Voice', 'CallAdded', 's', [<'x'>])"));
    // The call ends after all of that: the bridge is still listening.
    ASSERT_TRUE(modem_manager.set_state(1, active, terminated));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
    for (const LineSnapshot& line : published) {
        if (line.first) {
            EXPECT_EQ(line.first->number.size(), phone_state::text_bound);
        }
    }
}

TEST_F(PhoneBridgeTest, ConnectedCallStartsTheRegisteredProgramWhenNoneRuns) {
    test_support::ScopedEnv env;
    env.set("QUILLON_TOUCH_PROGRAM", QUILLON_LAUNCH_STUB);
    ASSERT_TRUE(set_call_launch(true));
    ModemManagerMock modem_manager;
    ASSERT_TRUE(modem_manager.ok());
    std::vector<TriggeredLaunch> launches;
    start_bridge();
    bridge->set_publish_listener([&](const LineSnapshot& line, const std::vector<TriggeredLaunch>& fired) {
        published.push_back(line);
        launches.insert(launches.end(), fired.begin(), fired.end());
    });
    ASSERT_TRUE(await_stack("ModemManager"));
    ASSERT_TRUE(modem_manager.add_call(1, ringing_in, incoming, "+44 20 7946 0958"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.ringing; }));
    EXPECT_TRUE(launches.empty());
    ASSERT_TRUE(modem_manager.set_state(1, ringing_in, active));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    ASSERT_EQ(launches.size(), 1u);
    EXPECT_GT(launches[0].pid, 0);
    const std::string launched = root() + "/launched.txt";
    ASSERT_TRUE(bridge->run_until([&] { return std::filesystem::exists(launched); }, 10.0));
    EXPECT_NE(read_file(launched).find("\ncall\n"), std::string::npos) << read_file(launched);
    env.unset("QUILLON_TOUCH_PROGRAM");
}

// oFono's stand-in, its log beside the test's root.
class OfonoMock : public bus_test::OfonoMock {
public:
    OfonoMock() : bus_test::OfonoMock(mock_log()) {}
};

TEST_F(PhoneBridgeTest, OfonoIncomingCallAnsweredNamedByTheNetworkAndAnOutgoingDial) {
    OfonoMock ofono;
    ASSERT_TRUE(ofono.ok());
    start_bridge();
    ASSERT_TRUE(await_stack("oFono"));
    const std::string call = "/ril_0/voicecall90";
    ASSERT_TRUE(ofono.add_incoming(call, "+44 20 7946 0958", "Ann Smith"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.ringing; }));
    ASSERT_TRUE(OfonoMock::set_state(call, "active"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    std::u16string name, number;
    EXPECT_EQ(query(name, number), call_direction_incoming);
    EXPECT_EQ(name, u"Ann Smith");
    EXPECT_EQ(number, u"+44 20 7946 0958");
    // A property of the wrong type changes nothing.
    ASSERT_TRUE(mock("org.ofono", call, "EmitSignal",
                     "('org.ofono.VoiceCall', 'PropertyChanged', 'sv', [<'State'>, <<int32 4>>])"));
    ASSERT_TRUE(OfonoMock::set_state(call, "disconnected"));
    ASSERT_TRUE(OfonoMock::remove(call));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));

    // Dialled through oFono itself: the template announces the call as "dialing".
    std::string reply;
    ASSERT_TRUE(call_method("org.ofono", "/ril_0", "org.ofono.VoiceCallManager", "Dial", "('0800 123 456', 'default')",
                            &reply));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.dialling; }));
    const std::string dialled = reply.substr(reply.find('\'') + 1, reply.rfind('\'') - reply.find('\'') - 1);
    ASSERT_TRUE(OfonoMock::set_state(dialled, "alerting"));
    ASSERT_TRUE(OfonoMock::set_state(dialled, "active"));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.connected; }));
    name.clear();
    number.clear();
    EXPECT_EQ(query(name, number), call_direction_outgoing);
    EXPECT_EQ(number, u"0800 123 456");
    // oFono tells the end of a call by its state before it removes it (the template's removal
    // itself goes unannounced).
    ASSERT_TRUE(OfonoMock::set_state(dialled, "disconnected"));
    ASSERT_TRUE(call_method("org.ofono", "/ril_0", "org.ofono.VoiceCallManager", "HangupAll", ""));
    ASSERT_TRUE(await_line([](const LineSnapshot& line) { return line.call_count == 0; }));
}

TEST_F(PhoneBridgeTest, SpeakerGoesThroughCallaudiodWhileTheBridgeRunsAndFailsWithoutIt) {
    start_bridge();
    {
        MockService callaudio("org.mobian_project.CallAudio",
                              {"--session", "org.mobian_project.CallAudio", "/org/mobian_project/CallAudio",
                               "org.mobian_project.CallAudio"},
                              mock_log());
        ASSERT_TRUE(callaudio.ok());
        const std::string path = "/org/mobian_project/CallAudio";
        ASSERT_TRUE(mock("org.mobian_project.CallAudio", path, "AddProperty", "('', 'SpeakerState', <uint32 0>)"));
        ASSERT_TRUE(mock("org.mobian_project.CallAudio", path, "AddMethod",
                         "('', 'EnableSpeaker', 'b', 'b', 'self.UpdateProperties(\"org.mobian_project.CallAudio\", "
                         "{\"SpeakerState\": dbus.UInt32(1 if args[0] else 0)}); ret = True')"));
        SpeakerPhone speaker;
        ASSERT_TRUE(speaker.ready());
        speaker.set(true);
        std::string state;
        ASSERT_TRUE(call_method("org.mobian_project.CallAudio", path, "org.freedesktop.DBus.Properties", "Get",
                                "('org.mobian_project.CallAudio', 'SpeakerState')", &state));
        EXPECT_EQ(state, "(<uint32 1>,)");
        // The bridge mirrors the daemon's state, also when the dialer switched it.
        ASSERT_TRUE(bridge->run_until([] { return is_speaker_on(); }, 10.0));
        ASSERT_TRUE(mock("org.mobian_project.CallAudio", path, "UpdateProperties",
                         "('org.mobian_project.CallAudio', {'SpeakerState': <uint32 0>})"));
        ASSERT_TRUE(bridge->run_until([] { return !is_speaker_on(); }, 10.0));
    }
    // No daemon: the switch fails and the speaker stays off.
    TelephonyPlatform& platform = telephony_platform();
    EXPECT_FALSE(platform.phone_set_speaker(0, true));
    EXPECT_FALSE(is_speaker_on());
}

}  // namespace
