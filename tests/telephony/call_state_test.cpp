#include "telephony/call_state.h"

#include <gtest/gtest.h>

#include "os/registry.h"
#include "telephony/phone_publisher.h"
#include "telephony/phone_state.h"
#include "telephony/simulated_phone.h"
#include "telephony/speaker_phone.h"
#include "telephony/telephony_platform.h"
#include "telephony_test_env.h"

using namespace telephony_test;
using namespace phone_state;

namespace {

// A line the test describes directly.
class FakeLine final : public TelephonyPlatform {
public:
    bool first_line_call(LineCall& out) override {
        ++questions;
        if (!readable) return false;
        out = call;
        return true;
    }
    bool phone_initialize(uint32_t& device_count, uint32_t& api_version) override {
        device_count = devices;
        api_version = 0x00010004;
        return initialises;
    }
    bool phone_set_speaker(uint32_t device, bool on) override {
        switched.push_back({device, on});
        return device != 0;  // the first device fails; the others must still be switched
    }
    void phone_shutdown() override { ++shutdowns; }
    uint32_t register_notification(const LaunchTrigger&) override { return notification_ok; }
    uint32_t stop_notification(std::u16string_view) override { return notification_ok; }

    bool readable = true;
    LineCall call{line_call_state_connected,
                  line_media_interactive_voice,
                  line_origin_inbound,
                  u"Line Caller",
                  u"111",
                  u"Line Called",
                  u"222"};
    int questions = 0;
    uint32_t devices = 3;
    bool initialises = true;
    std::vector<std::pair<uint32_t, bool>> switched;
    int shutdowns = 0;
};

class CallState : public ::testing::Test {
protected:
    void SetUp() override { reset_phone(); }
    void TearDown() override { reset_phone(); }

    void connected_call(std::u16string_view name, std::u16string_view number) {
        os::reg_write_string(phone_key, caller_name, name);
        os::reg_write_string(phone_key, caller_number, number);
        os::reg_write_dword(phone_key, active_call_count, 1);
        os::reg_write_dword(phone_key, status, status_connected | 0x4);
    }

    FakeLine m_line;
};

}  // namespace

TEST_F(CallState, NoConnectedCallMeansNoAnswerAndNoLineQuestion) {
    std::u16string name = u"kept", number = u"kept too";
    EXPECT_EQ(query_call_state(m_line, name, number), 0);
    // Ringing: a call exists but is not connected.
    os::reg_write_dword(phone_key, active_call_count, 1);
    os::reg_write_dword(phone_key, status, status_ringing);
    EXPECT_EQ(query_call_state(m_line, name, number), 0);
    EXPECT_FALSE(is_talking());
    // Connected bit without a call count.
    os::reg_write_dword(phone_key, active_call_count, 0);
    os::reg_write_dword(phone_key, status, status_connected);
    EXPECT_EQ(query_call_state(m_line, name, number), 0);
    EXPECT_EQ(name, u"kept");
    EXPECT_EQ(number, u"kept too");
    EXPECT_EQ(m_line.questions, 0);
}

TEST_F(CallState, ValuesOfTheWrongTypeCountAsNoCall) {
    os::reg_write_string(phone_key, active_call_count, u"1");
    os::reg_write_dword(phone_key, status, status_connected);
    EXPECT_FALSE(is_talking());
    os::reg_write_dword(phone_key, active_call_count, 1);
    os::reg_write_string(phone_key, status, u"536870912");
    EXPECT_FALSE(is_talking());
    os::reg_write_string(hardware_key, speaker, u"1");
    EXPECT_FALSE(is_speaker_on());
    // A caller name of the wrong type is no name: the line's is taken.
    os::reg_write_dword(phone_key, status, status_connected);
    os::reg_write_dword(phone_key, caller_name, 42);
    std::u16string name, number;
    EXPECT_EQ(query_call_state(m_line, name, number), 1);
    EXPECT_EQ(name, u"Line Caller");
}

TEST_F(CallState, DirectionNamesAndNumbersFromRegistryAndLine) {
    connected_call(u"", u"");
    std::u16string name, number;
    EXPECT_EQ(query_call_state(m_line, name, number), call_direction_incoming);
    EXPECT_EQ(name, u"Line Caller");
    EXPECT_EQ(number, u"111");

    // A registry value that is there always wins over the line's.
    connected_call(u"Registry Name", u"");
    name.clear(), number.clear();
    m_line.call.origin = line_origin_outbound;
    EXPECT_EQ(query_call_state(m_line, name, number), call_direction_outgoing);
    EXPECT_EQ(name, u"Registry Name");
    EXPECT_EQ(number, u"222");

    for (uint32_t origin : {line_origin_internal, line_origin_external, line_origin_inbound}) {
        m_line.call.origin = origin;
        EXPECT_EQ(query_call_state(m_line, name, number), call_direction_incoming) << origin;
    }

    // Every way the line cannot tell gives direction 3 with the registry's texts.
    connected_call(u"Reg", u"+1 555");
    const LineCall good = m_line.call;
    auto unknown = [&](const char* why) {
        std::u16string n, m;
        EXPECT_EQ(query_call_state(m_line, n, m), call_direction_unknown) << why;
        EXPECT_EQ(n, u"Reg") << why;
        EXPECT_EQ(m, u"+1 555") << why;
        m_line.call = good;
        m_line.readable = true;
    };
    m_line.readable = false;
    unknown("no line information");
    m_line.call.call_state = 0x2;
    unknown("offering, not connected");
    m_line.call.media_mode = 0x10;
    unknown("data call");
    m_line.call.origin = 0x8;
    unknown("unknown origin");
    m_line.call.media_mode = line_media_automated_voice;
    std::u16string n, m;
    EXPECT_EQ(query_call_state(m_line, n, m), call_direction_incoming);
}

TEST_F(CallState, OverLongTextsAreCutToTheBound) {
    const std::u16string long_text(1000, u'x');
    connected_call(long_text, u"");
    m_line.call.caller_number = std::u16string(300, u'7');
    std::u16string name, number;
    EXPECT_EQ(query_call_state(m_line, name, number), call_direction_incoming);
    EXPECT_EQ(name.size(), text_bound);
    EXPECT_EQ(number, std::u16string(text_bound, u'7'));
    // A terminator inside a line string ends it, as it would in a fixed buffer.
    m_line.call.caller_number = std::u16string(u"12\0junk", 7);
    number.clear();
    query_call_state(m_line, name, number);
    EXPECT_EQ(number, u"12");
}

TEST_F(CallState, SimulatedPhoneAnswersFromThePublishedState) {
    PublishedCall call;
    call.number = u"+44 20 7946 0958";
    call.name = u"Ann";
    ASSERT_TRUE(publish_dial(call).ok);
    std::u16string name, number;
    EXPECT_EQ(query_call_state(name, number), 0);  // dialling, not connected
    ASSERT_TRUE(publish_answer().ok);
    EXPECT_TRUE(is_talking());
    EXPECT_EQ(query_call_state(name, number), call_direction_outgoing);
    EXPECT_EQ(name, u"Ann");
    EXPECT_EQ(number, u"+44 20 7946 0958");
    EXPECT_FALSE(publish_incoming(call).ok);  // one call at a time
    ASSERT_TRUE(publish_hangup().ok);
    EXPECT_EQ(query_call_state(name, number), 0);
    EXPECT_FALSE(publish_answer().ok);

    call.line_info = false;
    call.name.reset();
    ASSERT_TRUE(publish_incoming(call).ok);
    ASSERT_TRUE(publish_answer().ok);
    name.clear(), number.clear();
    EXPECT_EQ(query_call_state(name, number), call_direction_unknown);
    EXPECT_EQ(number, u"+44 20 7946 0958");
    EXPECT_EQ(name, u"");  // no contacts store here
}

TEST_F(CallState, SpeakerPhoneSwitchesEveryDevice) {
    {
        SpeakerPhone speaker(m_line);
        ASSERT_TRUE(speaker.ready());
        EXPECT_EQ(speaker.api_version(), 0x00010004u);
        speaker.set(true);
        speaker.set(false);
    }
    const std::vector<std::pair<uint32_t, bool>> expected{{0, true},  {1, true},  {2, true},
                                                          {0, false}, {1, false}, {2, false}};
    EXPECT_EQ(m_line.switched, expected);
    EXPECT_EQ(m_line.shutdowns, 1);

    m_line.switched.clear();
    m_line.initialises = false;
    {
        SpeakerPhone speaker(m_line);
        speaker.set(true);
    }
    EXPECT_TRUE(m_line.switched.empty());
    EXPECT_EQ(m_line.shutdowns, 1);

    // The simulated phone's switch is the published "Speaker" value.
    SpeakerPhone simulated;
    ASSERT_TRUE(simulated.ready());
    EXPECT_EQ(simulated.device_count(), 1u);
    simulated.set(true);
    EXPECT_TRUE(is_speaker_on());
    simulated.set(false);
    EXPECT_FALSE(is_speaker_on());
    os::reg_write_dword(simulated_phone::phone_key, u"Phone Devices", 0);
    SpeakerPhone none;
    none.set(true);
    EXPECT_FALSE(is_speaker_on());
}
