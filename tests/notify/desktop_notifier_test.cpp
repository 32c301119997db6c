// Notifications against python3-dbusmock's notification daemon on a private bus: what is sent, the
// action coming back as the tag it was shown with, and nothing at all without a service or a bus.
#include "os/notify/desktop_notifier.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <vector>

#include "tests/dbus/bus_environment.h"
#include "tests/support/scoped_env.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

const char* const service = "org.freedesktop.Notifications";
const char* const path = "/org/freedesktop/Notifications";

// The tags the action handler was given, awaited without sleeping.
class ChosenTags {
public:
    os::Notifier::ActionHandler handler() {
        return [this](uint64_t tag) {
            std::lock_guard<std::mutex> guard(m_lock);
            m_tags.push_back(tag);
            m_changed.notify_all();
        };
    }
    bool wait_for(size_t count) {
        std::unique_lock<std::mutex> guard(m_lock);
        return m_changed.wait_for(guard, std::chrono::seconds(10), [&] { return m_tags.size() >= count; });
    }
    std::vector<uint64_t> tags() {
        std::lock_guard<std::mutex> guard(m_lock);
        return m_tags;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    std::vector<uint64_t> m_tags;
};

std::string notify_calls() {
    std::string reply;
    call_method(service, path, "org.freedesktop.DBus.Mock", "GetMethodCalls", "('Notify',)", &reply);
    return reply;
}

bool emit(const std::string& signal, const std::string& signature, const std::string& arguments) {
    return mock(service, path, "EmitSignal",
                "('org.freedesktop.Notifications', '" + signal + "', '" + signature + "', " + arguments + ")");
}

TEST(DesktopNotifier, SendsTheNotificationAndHandsBackTheChosenAction) {
    MockService daemon(service, {"--template", "notification_daemon"}, g_bus_folder + "/dbusmock.log");
    ASSERT_TRUE(daemon.ok());
    ChosenTags chosen;
    os::DesktopNotifier notifier(u"Quillon Touch", u"com.korvel.QuillonTouch", u"com.korvel.QuillonTouch");
    notifier.set_action_handler(chosen.handler());

    notifier.show({u"Call with Alice Walker recorded, 2:31", u"", u"Open"}, 41);
    notifier.show({u"Without an action", u"Ünïcödé body", u""}, 42);
    ASSERT_TRUE(notifier.wait_idle(10));
    EXPECT_EQ(notifier.shown_count(), 2);
    EXPECT_EQ(notifier.dropped_count(), 0);
    const std::string calls = notify_calls();
    EXPECT_NE(calls.find("<'Quillon Touch'>, <uint32 0>, <'com.korvel.QuillonTouch'>, "
                         "<'Call with Alice Walker recorded, 2:31'>, <''>, <['default', 'Open']>, "
                         "<{'desktop-entry': <'com.korvel.QuillonTouch'>}>, <-1>"),
              std::string::npos)
        << calls;
    EXPECT_NE(calls.find("<'Without an action'>, <'Ünïcödé body'>, <@as []>"), std::string::npos) << calls;

    // The daemon numbers its notifications from 1. Only the one with an action answers, once, and
    // only to its default action.
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 2>, <'default'>]"));
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 1>, <'other'>]"));
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 1>, <'default'>]"));
    ASSERT_TRUE(chosen.wait_for(1));
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 1>, <'default'>]"));
    // A closed notification has no action left.
    notifier.show({u"Closed before chosen", u"", u"Open"}, 43);
    ASSERT_TRUE(notifier.wait_idle(10));
    ASSERT_TRUE(emit("NotificationClosed", "uu", "[<uint32 3>, <uint32 2>]"));
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 3>, <'default'>]"));
    // A later action proves the signals before it were handled.
    notifier.show({u"Last", u"", u"Open"}, 44);
    ASSERT_TRUE(notifier.wait_idle(10));
    ASSERT_TRUE(emit("ActionInvoked", "us", "[<uint32 4>, <'default'>]"));
    ASSERT_TRUE(chosen.wait_for(2));
    EXPECT_EQ(chosen.tags(), (std::vector<uint64_t>{41, 44}));
}

TEST(DesktopNotifier, NothingHappensWithoutAServiceOrABus) {
    ASSERT_FALSE(has_owner(service));
    {
        os::DesktopNotifier notifier(u"Quillon Touch", u"", u"");
        notifier.show({u"Nobody listens", u"", u"Open"}, 1);
        ASSERT_TRUE(notifier.wait_idle(10));
        EXPECT_EQ(notifier.shown_count(), 0);
        EXPECT_EQ(notifier.dropped_count(), 1);
    }
    const std::string before = ::getenv("DBUS_SESSION_BUS_ADDRESS");
    test_support::ScopedEnv env;
    env.set("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/quillon-no-bus");
    {
        os::DesktopNotifier notifier(u"Quillon Touch", u"", u"");
        notifier.show({u"No bus", u"", u""}, 1);
        notifier.show({u"Still no bus", u"", u""}, 2);
        ASSERT_TRUE(notifier.wait_idle(10));
        EXPECT_EQ(notifier.dropped_count(), 2);
    }
    env.set("DBUS_SESSION_BUS_ADDRESS", before);
    // A notifier that never showed anything ends at once, and one destroyed right after showing
    // still delivers.
    { os::DesktopNotifier idle(u"Quillon Touch", u"", u""); }
    MockService daemon(service, {"--template", "notification_daemon"}, g_bus_folder + "/dbusmock.log");
    ASSERT_TRUE(daemon.ok());
    {
        os::DesktopNotifier quitting(u"Quillon Touch", u"", u"");
        quitting.show({u"Said at exit", u"", u""}, 1);
    }
    EXPECT_NE(notify_calls().find("Said at exit"), std::string::npos);
}

}  // namespace
