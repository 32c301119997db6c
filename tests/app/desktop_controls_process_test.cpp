// The real program with the desktop's controls on a private session bus: the quick-record
// shortcut through a python3-dbusmock look-alike of the GlobalShortcuts portal starts and pauses a
// voice note, and playerctl sees and drives it as a lock screen or headset would.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "os/registry.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/dbus/bus_environment.h"
#include "tests/document/document_test_support.h"
#include "tests/os/temp_root.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

constexpr const char* portal = "org.freedesktop.portal.Desktop";
constexpr const char* portal_path = "/org/freedesktop/portal/desktop";

std::string playerctl(const std::string& what) {
    std::string out = run({"playerctl", "--player=QuillonTouch", what}).output;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

std::string artist() {
    std::string out = run({"playerctl", "--player=QuillonTouch", "metadata", "xesam:artist"}).output;
    while (!out.empty() && out.back() == '\n') out.pop_back();
    return out;
}

// The media controls' state is not written anywhere a folder watch would see: it is asked for
// again and again until it holds.
bool await_player(const std::function<bool()>& condition, double seconds = 30.0) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        ::usleep(50000);
    }
    return true;
}

}  // namespace

TEST(DesktopControls, TheShortcutStartsAndPausesAVoiceNoteThatTheMediaControlsShow) {
    TempRoot root;
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 60.0);
    ScopedEnv env;
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_APP_DIR", QUILLON_BIN_DIR);
    // No GNOME key of the machine's user may stand in for the portal's shortcut.
    env.set("GSETTINGS_BACKEND", "memory");
    MockService service(portal, {"--template", QUILLON_PORTAL_TEMPLATE}, g_bus_folder + "/portal.log");
    ASSERT_TRUE(service.ok());
    FolderWatch watch{root.path()};
    const auto log = [&] { return read_log_text(root.path() + "/Temp/quillon-touch.txt"); };
    const auto log_has = [&](std::u16string_view text) { return log().find(text) != std::u16string::npos; };

    Program program({"--headless"});
    ASSERT_TRUE(program.started());
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"shortcuts: bound record to Ctrl+Alt+R\n"); }))
        << os::to_utf8(log());
    ASSERT_TRUE(watch.wait_until([&] { return log_has(u"mpris: published as org.mpris.MediaPlayer2.QuillonTouch\n"); }))
        << os::to_utf8(log());
    EXPECT_EQ(playerctl("status"), "Stopped");

    // The key pressed: a voice note starts, and the media controls show it recording.
    std::string reply;
    ASSERT_TRUE(call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "Press", "('record',)", &reply));
    EXPECT_EQ(reply, "(1,)");
    ASSERT_TRUE(await_player([] { return playerctl("status") == "Playing"; })) << os::to_utf8(log());
    EXPECT_EQ(artist(), "Recording");
    // Pressed again, it pauses; play-pause from the controls resumes it.
    ASSERT_TRUE(call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "Press", "('record',)", &reply));
    ASSERT_TRUE(await_player([] { return playerctl("status") == "Paused"; })) << os::to_utf8(log());
    EXPECT_EQ(run({"playerctl", "--player=QuillonTouch", "play-pause"}).status, 0);
    ASSERT_TRUE(await_player([] { return playerctl("status") == "Playing"; }));
    EXPECT_EQ(run({"playerctl", "--player=QuillonTouch", "stop"}).status, 0);
    ASSERT_TRUE(await_player([] { return playerctl("status") == "Stopped"; }));

    ::kill(program.pid(), SIGTERM);
    EXPECT_EQ(program.wait(), 0);
    EXPECT_TRUE(log_has(u"shortcuts: record pressed\n"));
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 0));
}
