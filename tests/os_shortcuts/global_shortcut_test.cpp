// The desktop-wide shortcut through a python3-dbusmock look-alike of the GlobalShortcuts portal on
// a private bus: the session and the binding, presses of the key, a refusal, and no portal at all.
#include "os/shortcuts/global_shortcut.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <atomic>
#include <memory>
#include <string>

#include "os/event.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "tests/dbus/bus_environment.h"
#include "tests/os/temp_root.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

constexpr const char* portal = "org.freedesktop.portal.Desktop";
constexpr const char* portal_path = "/org/freedesktop/portal/desktop";

std::unique_ptr<MockService> start_portal(const std::string& answer) {
    return std::make_unique<MockService>(portal,
                                         std::vector<std::string>{"--template", QUILLON_PORTAL_TEMPLATE, "--parameters",
                                                                  "{\"answer\": \"" + answer + "\"}"},
                                         g_bus_folder + "/portal.log");
}

bool wait_for(const std::atomic<int>& value, int wanted) {
    const Stopwatch watch;
    while (value.load() < wanted && watch.elapsed() < 20.0) sleep_seconds(0.01);
    return value.load() >= wanted;
}

unsigned press(const std::string& id) {
    std::string reply;
    if (!call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "Press", "('" + id + "',)", &reply)) return 0;
    // "(uint32 N,)"
    const size_t digits = reply.find_first_of("0123456789");
    return digits == std::string::npos ? 0u : static_cast<unsigned>(std::stoul(reply.substr(digits)));
}

}  // namespace

TEST(GlobalShortcut, IsBoundThroughThePortalAndEachPressIsHeard) {
    TempRoot root;
    std::unique_ptr<MockService> service = start_portal("accept");
    ASSERT_TRUE(service->ok());
    std::atomic<int> presses{0};
    {
        os::GlobalShortcut shortcut(u"com.korvel.QuillonTouch", u"record", u"Start or pause a voice note",
                                    u"CTRL+ALT+R", [&presses] { ++presses; });
        ASSERT_EQ(shortcut.wait_settled(20), os::GlobalShortcut::State::Bound);
        EXPECT_EQ(shortcut.trigger(), u"Ctrl+Alt+R");

        std::string calls;
        ASSERT_TRUE(call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "GetMethodCalls",
                                "('BindShortcuts',)", &calls));
        EXPECT_NE(calls.find("'record'"), std::string::npos) << calls;
        EXPECT_NE(calls.find("'Start or pause a voice note'"), std::string::npos) << calls;
        EXPECT_NE(calls.find("'CTRL+ALT+R'"), std::string::npos) << calls;

        // Each press of the key comes once; another shortcut's press is not ours.
        EXPECT_EQ(press("record"), 1u);
        ASSERT_TRUE(wait_for(presses, 1));
        EXPECT_EQ(press("record"), 1u);
        ASSERT_TRUE(wait_for(presses, 2));
        EXPECT_EQ(press("screenshot"), 0u);
    }
    EXPECT_EQ(presses.load(), 2);
}

TEST(GlobalShortcut, ARefusalOrNoPortalLeavesItUnboundAndSaysWhy) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    {
        std::unique_ptr<MockService> service = start_portal("refuse");
        ASSERT_TRUE(service->ok());
        os::GlobalShortcut refused(u"com.korvel.QuillonTouch", u"record", u"Start or pause a voice note", u"CTRL+ALT+R",
                                   [] {});
        EXPECT_EQ(refused.wait_settled(20), os::GlobalShortcut::State::Refused);
        EXPECT_EQ(refused.trigger(), u"");
    }
    // The portal's name is gone from the bus: nothing answers for it.
    os::GlobalShortcut missing(u"com.korvel.QuillonTouch", u"record", u"Start or pause a voice note", u"CTRL+ALT+R",
                               [] {});
    EXPECT_EQ(missing.wait_settled(30), os::GlobalShortcut::State::Unavailable);
    const std::u16string log = read_log_text(os::to_utf8(os::log_file_path()));
    EXPECT_NE(log.find(u"shortcuts: the desktop did not bind record\n"), std::u16string::npos) << os::to_utf8(log);
    EXPECT_NE(log.find(u"shortcuts: no GlobalShortcuts portal: "), std::u16string::npos) << os::to_utf8(log);
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}
