#include "telephony/call_monitor.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "os/tick.h"
#include "telephony/phone_publisher.h"
#include "telephony/phone_state.h"
#include "telephony_test_env.h"
#include "tests/support/scoped_env.h"

using namespace telephony_test;

namespace {

struct Report {
    bool start = false;
    std::u16string name;
    std::u16string number;
    CallDirection direction = 0;
    bool operator==(const Report&) const = default;
};

class RecordingObserver final : public CallMonitorObserver {
public:
    void on_call_start(const std::u16string& name, const std::u16string& number, CallDirection direction) override {
        reports.push_back({true, name, number, direction});
    }
    void on_call_stop() override { reports.push_back({false, {}, {}, 0}); }
    std::vector<Report> reports;
};

class CallMonitorTest : public ::testing::Test {
protected:
    void SetUp() override { reset_phone(); }
    void TearDown() override { reset_phone(); }

    // One 0.1 s period on the test's clock: exactly one poll.
    void poll(int times = 1) {
        for (int i = 0; i < times; ++i) {
            m_clock.advance(100);
            m_loop.run_until_idle();
        }
    }
    std::vector<Report> take() { return std::exchange(m_observer.reports, {}); }

    FakeClock m_clock;
    PlainEventLoop m_loop;
    CActiveScheduler m_scheduler{m_loop};
    RecordingObserver m_observer;
};

PublishedCall call_from(std::u16string number, std::optional<std::u16string> name = std::nullopt,
                        bool line_info = true) {
    PublishedCall call;
    call.number = std::move(number);
    call.name = std::move(name);
    call.line_info = line_info;
    return call;
}

}  // namespace

TEST_F(CallMonitorTest, ReportsEachChangeOnceAndRingingIsNoCall) {
    CallMonitor monitor(&m_observer);
    poll(3);
    EXPECT_TRUE(take().empty());

    ASSERT_TRUE(publish_incoming(call_from(u"+44 20 7946 0958", u"Ann")).ok);
    poll(3);
    EXPECT_TRUE(take().empty()) << "a ringing call is not recorded";

    ASSERT_TRUE(publish_answer().ok);
    poll();
    EXPECT_EQ(take(), (std::vector<Report>{{true, u"Ann", u"+44 20 7946 0958", call_direction_incoming}}));
    poll(3);
    EXPECT_TRUE(take().empty());

    // A call that ends and another that starts between two polls: another party, another call.
    ASSERT_TRUE(publish_hangup().ok);
    ASSERT_TRUE(publish_dial(call_from(u"555 0100", u"Bob")).ok);
    ASSERT_TRUE(publish_answer().ok);
    poll(2);
    EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}, {true, u"Bob", u"555 0100", call_direction_outgoing}}));

    // The end is told once the call has stayed gone for half a second.
    ASSERT_TRUE(publish_hangup().ok);
    poll(4);
    EXPECT_TRUE(take().empty());
    poll();
    EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}}));

    ASSERT_TRUE(publish_dial(call_from(u"555 0100", u"Bob")).ok);
    poll();
    ASSERT_TRUE(publish_answer().ok);
    poll();
    EXPECT_EQ(take(), (std::vector<Report>{{true, u"Bob", u"555 0100", call_direction_outgoing}}));
}

TEST_F(CallMonitorTest, CallConnectedBeforeStartIsReportedByTheFirstPoll) {
    ASSERT_TRUE(publish_incoming(call_from(u"123", std::nullopt, false)).ok);
    ASSERT_TRUE(publish_answer().ok);
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 1);
    {
        CallMonitor monitor(&m_observer);
        EXPECT_TRUE(take().empty());
        poll();
        EXPECT_EQ(take(), (std::vector<Report>{{true, u"", u"123", call_direction_unknown}}));
        // Registry values of the wrong type count as no call.
        os::reg_write_string(phone_state::phone_key, phone_state::active_call_count, u"1");
        poll(5);
        EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}}));
    }
    os::log().flush();
    const std::string bytes = read_file(os::to_utf8(os::log_file_path()));
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 0);
    std::u16string log;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        log += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    }
    EXPECT_NE(log.find(u"TAPI ret=0\n"), std::u16string::npos);
    EXPECT_NE(log.find(u"CallMonitorImpl call=1 "), std::u16string::npos);
    EXPECT_NE(log.find(u"CallMonitorImpl call=0 "), std::u16string::npos);
    // The monitor is gone: its timer no longer holds the scheduler.
    EXPECT_EQ(m_scheduler.active_counter(), 0);
}

TEST_F(CallMonitorTest, WithoutObserverItKeepsPollingQuietly) {
    CallMonitor monitor(nullptr);
    ASSERT_TRUE(publish_incoming(call_from(u"123")).ok);
    ASSERT_TRUE(publish_answer().ok);
    poll(3);
    EXPECT_TRUE(m_loop.timer_is_set());
    EXPECT_EQ(m_scheduler.active_counter(), 1);
    // The call-state questions answer all the same.
    std::u16string name, number;
    EXPECT_EQ(monitor.query_call_state(name, number), call_direction_incoming);
    EXPECT_TRUE(monitor.is_talking());
}

TEST_F(CallMonitorTest, FollowsARealQuillonPhoneProcess) {
    const std::string contacts = root() + "/monitor-contacts";
    ::mkdir(contacts.c_str(), 0755);
    write_file(contacts + "/ann.vcf",
               "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Ann Smith\r\nTEL:020 7946 0958\r\nEND:VCARD\r\n");
    test_support::ScopedEnv env;
    env.set("QUILLON_CONTACTS", contacts);

    CallMonitor monitor(&m_observer);
    // The publisher names the caller from the contacts when no name is given.
    ASSERT_EQ(run_phone({"incoming", "+44 20 7946 0958"}), 0);
    poll(2);
    EXPECT_TRUE(take().empty());
    ASSERT_EQ(run_phone({"answer"}), 0);
    poll();
    EXPECT_EQ(take(), (std::vector<Report>{{true, u"Ann Smith", u"+44 20 7946 0958", call_direction_incoming}}));
    ASSERT_EQ(run_phone({"hangup"}), 0);
    poll(5);
    EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}}));

    ASSERT_EQ(run_phone({"dial", "555 0199", "--no-line-info", "--name", "Front desk"}), 0);
    ASSERT_EQ(run_phone({"answer"}), 0);
    poll();
    EXPECT_EQ(take(), (std::vector<Report>{{true, u"Front desk", u"555 0199", call_direction_unknown}}));

    std::string status;
    ASSERT_EQ(run_phone({"status"}, &status), 0);
    EXPECT_NE(status.find("\"connected\":true"), std::string::npos) << status;
    EXPECT_NE(status.find("\"caller_name\":\"Front desk\""), std::string::npos) << status;
    EXPECT_NE(status.find("\"line\":null"), std::string::npos) << status;

    ASSERT_EQ(run_phone({"hangup"}), 0);
    ASSERT_EQ(run_phone({"speaker", "on"}), 0);
    poll(5);
    EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}}));
    EXPECT_TRUE(monitor.is_speaker_on());

    // Over-long names from the command line are cut, never overrun.
    ASSERT_EQ(run_phone({"incoming", "1", "--name", std::string(600, 'n')}), 0);
    ASSERT_EQ(run_phone({"answer"}), 0);
    poll();
    const auto reports = take();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].name, std::u16string(phone_state::text_bound, u'n'));

    // Usage errors and refused transitions fail with a status.
    EXPECT_NE(run_phone({"incoming", "2"}), 0);
    EXPECT_NE(run_phone({"speaker", "loud"}), 0);
    EXPECT_NE(run_phone({"incoming"}), 0);
    EXPECT_NE(run_phone({}), 0);
}

TEST_F(CallMonitorTest, AFlappingCallStaysOneCallAndAChangeOfPartyIsAnother) {
    CallMonitor monitor(&m_observer);
    ASSERT_TRUE(publish_incoming(call_from(u"+44 20 7946 0958", u"Ann")).ok);
    ASSERT_TRUE(publish_answer().ok);
    poll();
    EXPECT_EQ(take().size(), 1u);
    // Gone for less than half a second, back again: the same call goes on.
    const uint32_t status = phone_state::read_dword(phone_state::phone_key, phone_state::status);
    for (int flap = 0; flap < 3; ++flap) {
        os::reg_write_dword(phone_state::phone_key, phone_state::status, status & ~phone_state::status_connected);
        poll(4);
        os::reg_write_dword(phone_state::phone_key, phone_state::status, status);
        poll();
    }
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(monitor.in_call());
    EXPECT_NEAR(monitor.call_seconds(), 1.5, 0.01);

    // The publisher names the call it describes: a new identity is a new party, even with the
    // same number (two calls from one switchboard).
    os::reg_write_dword(phone_state::phone_key, phone_state::active_call, 7);
    poll();
    EXPECT_TRUE(take().empty()) << "the first identity learnt belongs to the call already told";
    os::reg_write_dword(phone_state::phone_key, phone_state::active_call, 8);
    poll();
    EXPECT_EQ(take(),
              (std::vector<Report>{{false, {}, {}, 0}, {true, u"Ann", u"+44 20 7946 0958", call_direction_incoming}}));
    EXPECT_NEAR(monitor.call_seconds(), 0.0, 0.01);

    // A bridge that stops beating: its call is over once its patience has run out, at once.
    const std::u16string bridge_key = u"HKEY_LOCAL_MACHINE\\Software\\Quillon\\Phone";
    os::reg_write_dword(bridge_key, u"Bridge", 1);
    os::reg_write_dword(bridge_key, phone_state::bridge_beat, os::tick_count());
    poll(50);
    EXPECT_TRUE(take().empty());
    EXPECT_TRUE(monitor.is_talking());
    poll(2);
    EXPECT_EQ(take(), (std::vector<Report>{{false, {}, {}, 0}}));
    EXPECT_FALSE(monitor.is_talking());
    // It beats again (restarted): its call is there again.
    os::reg_write_dword(bridge_key, phone_state::bridge_beat, os::tick_count());
    poll();
    EXPECT_EQ(take().size(), 1u);
    os::reg_delete_value(bridge_key, u"Bridge");
    os::reg_delete_value(bridge_key, phone_state::bridge_beat);
}
