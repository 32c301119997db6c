// The document on a phone: the sleep inhibitor around recording and playback against dbusmock's
// logind on a private bus, and the numbers never recorded automatically.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>

#include "document/never_record.h"
#include "os/log.h"
#include "os/registry.h"
#include "tests/dbus/bus_environment.h"
#include "tests/document/document_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using document_test::DocumentFixture;
using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

// The inhibitors logind lists, as GVariant text.
std::string inhibitors() {
    std::string reply;
    if (!call_method("org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager",
                     "ListInhibitors", "", &reply)) {
        return "(no answer)";
    }
    return reply;
}

class DocumentPhoneTest : public DocumentFixture {
protected:
    // logind drops a lock when its descriptor closes, which it notices in its own time.
    bool await_inhibitors(const std::string& expected) {
        return run_until([&] { return inhibitors() == expected; }, 10000);
    }
};

const std::string none = "([],)";
const std::string ours = "([('sleep', 'Quillon Touch', 'Recording or playing', 'block', 1000, 123456)],)";

TEST_F(DocumentPhoneTest, SleepIsInhibitedFromTheStartOfARecordingOrPlaybackToItsEnd) {
    MockService logind("org.freedesktop.login1", {"--template", "logind"}, g_bus_folder + "/dbusmock.log");
    ASSERT_TRUE(logind.ok());
    EXPECT_EQ(inhibitors(), none);
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    EXPECT_TRUE(document->sleep_inhibitor().held());
    EXPECT_EQ(inhibitors(), ours);
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 1.0; }));
    const std::u16string path = document->current_record().path;
    document->stop();
    EXPECT_FALSE(document->sleep_inhibitor().held());
    EXPECT_TRUE(await_inhibitors(none));

    ASSERT_TRUE(document->play(path));
    EXPECT_TRUE(document->sleep_inhibitor().held());
    EXPECT_EQ(inhibitors(), ours);
    // Playback that ends by itself lets go as well.
    ASSERT_TRUE(run_until([&] { return !document->is_playing(); }, 30000));
    EXPECT_FALSE(document->sleep_inhibitor().held());
    EXPECT_TRUE(await_inhibitors(none));

    // Without logind the recording goes on regardless.
    logind.stop();
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    EXPECT_FALSE(document->sleep_inhibitor().held());
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.5; }));
    document->stop();
}

TEST_F(DocumentPhoneTest, NumbersOnTheNeverRecordListAreNotRecordedAutomatically) {
    EXPECT_TRUE(never_record_numbers().empty());
    EXPECT_FALSE(set_never_record_numbers(u"+44 20 7946 0958; call me"));
    EXPECT_TRUE(never_record_numbers().empty());
    ASSERT_TRUE(set_never_record_numbers(u" +44 20 7946 0958 ;; 112 ;"));
    EXPECT_EQ(never_record_numbers(), (std::vector<std::u16string>{u"+44 20 7946 0958", u"112"}));
    std::u16string stored;
    ASSERT_TRUE(os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", never_record_value, stored));
    EXPECT_EQ(stored, u"+44 20 7946 0958;112");

    document->settings().auto_record = 1;
    // The same line written the national way; a short code only as itself.
    document->on_call_start(u"Ann Smith", u"(020) 7946-0958", call_direction_incoming);
    EXPECT_FALSE(document->is_recording());
    document->on_call_start(u"", u"112", call_direction_outgoing);
    EXPECT_FALSE(document->is_recording());
    document->on_call_stop();
    document->on_call_start(u"", u"1120", call_direction_outgoing);
    EXPECT_TRUE(document->is_recording());
    document->on_call_stop();
    EXPECT_FALSE(document->is_recording());
    // The user may still record such a call by hand.
    ASSERT_TRUE(document->record(false, u"Ann Smith", u"+44 20 7946 0958", call_direction_incoming));
    EXPECT_FALSE(document->is_recording_call());
    document->stop();
    ASSERT_TRUE(set_never_record_numbers(u""));
    EXPECT_TRUE(never_record_numbers().empty());
}

}  // namespace
