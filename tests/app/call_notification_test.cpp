// The call notification on a document that records from a file microphone, told through
// python3-dbusmock's notification daemon on a private bus: only calls, only behind the window, and
// choosing it brings the window forward and opens the recording.
#include "app/call_notification.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <memory>
#include <string>

#include "document/never_record.h"
#include "lang/language.h"
#include "os/notify/desktop_notifier.h"
#include "os/text.h"
#include "tests/dbus/bus_environment.h"
#include "tests/document/document_test_support.h"
#include "tests/support/temp_folder.h"

namespace {

using document_test::DocumentFixture;
using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

const char* const service = "org.freedesktop.Notifications";
const char* const path = "/org/freedesktop/Notifications";

std::string notify_calls() {
    std::string reply;
    call_method(service, path, "org.freedesktop.DBus.Mock", "GetMethodCalls", "('Notify',)", &reply);
    return reply;
}

TEST(CallNotificationText, NameAndLengthInMinutesAndSecondsOrHours) {
    EXPECT_EQ(CallNotification::text_for(u"Alice Walker", 151.7), u"Call with Alice Walker recorded, 2:32");
    EXPECT_EQ(CallNotification::text_for(u"Alice Walker", 7.94), u"Call with Alice Walker recorded, 0:08");
    EXPECT_EQ(CallNotification::text_for(u"Alice Walker", 7.4), u"Call with Alice Walker recorded, 0:07");
    EXPECT_EQ(CallNotification::text_for(u"+44 20 7946 0958", 0.4), u"Call with +44 20 7946 0958 recorded, 0:00");
    EXPECT_EQ(CallNotification::text_for(u"Bob", 599.99), u"Call with Bob recorded, 10:00");
    EXPECT_EQ(CallNotification::text_for(u"Bob", 3723), u"Call with Bob recorded, 1:02:03");
    EXPECT_EQ(CallNotification::text_for(u"Bob", -1), u"Call with Bob recorded, 0:00");
    // A recording a failure ended early is never told as a whole one.
    EXPECT_EQ(CallNotification::text_for(u"Alice Walker", 12.2, DocumentEvent::WriterFailed),
              u"Call with Alice Walker stopped early: the storage is full or cannot be written; 0:12 recorded");
    EXPECT_EQ(CallNotification::text_for(u"Bob", 2.9, DocumentEvent::CardProblem),
              u"Call with Bob stopped early: the storage card is gone; 0:03 recorded");
    EXPECT_EQ(CallNotification::text_for(u"Bob", 12.2, 0, true),
              u"Call with Bob recorded with a gap: the sound server went away; 0:12");
    EXPECT_EQ(CallNotification::text_for(u"Bob", 2.9, DocumentEvent::BufferFailed),
              u"Call with Bob stopped early: the device was too slow; 0:03 recorded");
}

TEST(CallNotificationText, InTheUsersLanguageFromTheShippedFiles) {
    Language german(u"" QUILLON_BIN_DIR);
    ASSERT_TRUE(german.load(std::u16string(u"" QUILLON_BIN_DIR) + u"/german.lng"));
    const CallNotification::Translate in_german = [&german](std::u16string_view key, std::u16string_view fallback) {
        return german.translate(key, fallback);
    };
    EXPECT_EQ(CallNotification::text_for(in_german, u"Alice Walker", 151.7),
              u"Anruf mit Alice Walker aufgenommen, 2:32");
    EXPECT_EQ(CallNotification::text_for(in_german, u"Bob", 12.2, DocumentEvent::WriterFailed),
              u"Aufnahme des Anrufs mit Bob vorzeitig beendet: der Speicher ist voll oder nicht beschreibbar; 0:12 "
              u"aufgenommen");
    Language russian(u"" QUILLON_BIN_DIR);
    ASSERT_TRUE(russian.load(std::u16string(u"" QUILLON_BIN_DIR) + u"/russian.lng"));
    const CallNotification::Translate in_russian = [&russian](std::u16string_view key, std::u16string_view fallback) {
        return russian.translate(key, fallback);
    };
    EXPECT_EQ(CallNotification::text_for(in_russian, u"Bob", 2.9, DocumentEvent::CardProblem),
              u"Запись разговора с Bob прервана: карта памяти извлечена; записано 0:03");
    // A caller's name that looks like a text variable is shown as it is, never filled in.
    EXPECT_EQ(CallNotification::text_for(in_german, u"%length% %reason%", 7),
              u"Anruf mit %length% %reason% aufgenommen, 0:07");
    // A language without the texts falls back to English.
    const CallNotification::Translate none = [](std::u16string_view, std::u16string_view fallback) {
        return std::u16string(fallback);
    };
    EXPECT_EQ(CallNotification::text_for(none, u"Bob", 12.2, 0, true),
              u"Call with Bob recorded with a gap: the sound server went away; 0:12");
}

class CallNotificationTest : public DocumentFixture {
protected:
    void SetUp() override {
        DocumentFixture::SetUp();
        daemon = std::make_unique<MockService>(service, std::vector<std::string>{"--template", "notification_daemon"},
                                               g_bus_folder + "/dbusmock.log");
        ASSERT_TRUE(daemon->ok());
        auto owned = std::make_unique<os::DesktopNotifier>(u"Quillon Touch", u"com.korvel.QuillonTouch",
                                                           u"com.korvel.QuillonTouch");
        notifier = owned.get();
        notification = std::make_unique<CallNotification>(
            *document, loop, CallNotification::WindowHooks{[this] { return in_front; }, [this] { ++raised; }},
            std::move(owned));
        notification->set_open_hook([this](const std::u16string& path) { opened = path; });
    }
    void TearDown() override {
        notification.reset();
        daemon.reset();
        DocumentFixture::TearDown();
    }

    // A call of at least the given length, ended by the phone.
    std::u16string record_call(const std::u16string& name, const std::u16string& number, double seconds) {
        EXPECT_TRUE(document->record(true, name, number, call_direction_incoming));
        EXPECT_TRUE(run_until([&] { return document->duration().total() >= seconds; }));
        // A real call: longer than a flapping stack's moment and the monitor's hold at its end.
        run_for(1100);
        const std::u16string recorded = document->current_record().path;
        document->on_call_stop();
        EXPECT_FALSE(document->is_recording());
        // The notification goes out from the loop, once the document has said why it stopped.
        run_for(100);
        return recorded;
    }

    std::unique_ptr<MockService> daemon;
    os::DesktopNotifier* notifier = nullptr;
    std::unique_ptr<CallNotification> notification;
    bool in_front = false;
    int raised = 0;
    std::u16string opened;
};

TEST_F(CallNotificationTest, ACallRecordedBehindTheWindowIsToldAndChoosingItOpensTheRecording) {
    // A voice note, and a call while the window is in front, are not told of.
    ASSERT_TRUE(document->record(false, u"", u"", call_direction_none));
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.3; }));
    document->stop();
    in_front = true;
    record_call(u"Alice Walker", u"+44 20 7946 0958", 0.3);
    ASSERT_TRUE(notifier->wait_idle(10));
    EXPECT_EQ(notifier->shown_count() + notifier->dropped_count(), 0);

    in_front = false;
    const std::u16string first = record_call(u"Alice Walker", u"+44 20 7946 0958", 1.0);
    const std::u16string first_text = CallNotification::text_for(u"Alice Walker", document->duration().total());
    // Without a name the number stands for the caller.
    record_call(u"", u"+44 20 7946 0958", 0.3);
    const std::u16string second_text = CallNotification::text_for(u"+44 20 7946 0958", document->duration().total());
    ASSERT_TRUE(notifier->wait_idle(10));
    EXPECT_EQ(notifier->shown_count(), 2);
    const std::string calls = notify_calls();
    EXPECT_NE(calls.find("<'" + os::to_utf8(first_text) + "'>, <''>, <['default', 'Open']>"), std::string::npos)
        << calls;
    EXPECT_NE(calls.find("<'" + os::to_utf8(second_text) + "'>"), std::string::npos) << calls;
    EXPECT_EQ(os::to_utf8(first_text).rfind("Call with Alice Walker recorded, ", 0), 0u);

    // The daemon numbered them 1 and 2; choosing the first opens the first call.
    ASSERT_TRUE(mock(service, path, "EmitSignal",
                     "('org.freedesktop.Notifications', 'ActionInvoked', 'us', [<uint32 1>, <'default'>])"));
    ASSERT_TRUE(run_until([&] { return !opened.empty(); }, 10000));
    EXPECT_EQ(opened, first);
    EXPECT_EQ(raised, 1);
}

TEST_F(CallNotificationTest, ACallThatCouldNotBeRecordedIsToldButANeverRecordCallIsNot) {
    document->settings().auto_record = 1;
    ASSERT_TRUE(set_never_record_numbers(u"0800 123 456"));
    document->on_call_start(u"", u"0800 123 456", call_direction_incoming);
    EXPECT_FALSE(document->is_recording());
    // No microphone can be opened: the recording cannot start.
    env.set("QUILLON_AUDIO_IN", root.path() + "/no such microphone.wav");
    document->on_call_start(u"Alice Walker", u"+44 20 7946 0958", call_direction_incoming);
    EXPECT_FALSE(document->is_recording());
    ASSERT_TRUE(notifier->wait_idle(10));
    EXPECT_EQ(notifier->shown_count(), 1);
    const std::string calls = notify_calls();
    EXPECT_NE(calls.find("<'Call with Alice Walker could not be recorded'>, <''>, <@as []>"), std::string::npos)
        << calls;
    EXPECT_EQ(calls.find("0800"), std::string::npos) << calls;
    ASSERT_TRUE(set_never_record_numbers(u""));
}

}  // namespace
