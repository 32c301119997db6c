// The phone bridge holds the quick-record shortcut too: a press while no recorder runs starts
// "quillon-touch record" (here a stand-in named by QUILLON_TOUCH_PROGRAM that notes its words).
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <memory>
#include <string>

#include "os/event.h"
#include "os/stopwatch.h"
#include "tests/dbus/bus_environment.h"
#include "tests/os/temp_root.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

using namespace bus_test;

const test_support::TempFolder g_bus_scratch("quillon-bus");
const std::string g_bus_folder = g_bus_scratch.path();
::testing::Environment* const g_bus = ::testing::AddGlobalTestEnvironment(new BusEnvironment(g_bus_folder));

constexpr const char* portal = "org.freedesktop.portal.Desktop";
constexpr const char* portal_path = "/org/freedesktop/portal/desktop";

template <typename Condition>
bool wait_until(Condition condition, double seconds = 30.0) {
    const Stopwatch watch;
    while (!condition()) {
        if (watch.elapsed() > seconds) return false;
        sleep_seconds(0.02);
    }
    return true;
}

std::string method_calls(const std::string& method) {
    std::string reply;
    call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "GetMethodCalls", "('" + method + "',)", &reply);
    return reply;
}

}  // namespace

TEST(BridgeShortcut, APressWhileNoRecorderRunsStartsOne) {
    TempRoot root;
    MockService service(portal, {"--template", QUILLON_PORTAL_TEMPLATE}, g_bus_folder + "/portal.log");
    ASSERT_TRUE(service.ok());
    const std::string started = root.path() + "/started.txt";
    const std::string stand_in = root.path() + "/quillon-touch";
    write_bytes(stand_in, "#!/bin/sh\necho \"$@\" >> '" + started + "'\n");
    ::chmod(stand_in.c_str(), 0755);
    ScopedEnv env;
    env.set("QUILLON_TOUCH_PROGRAM", stand_in);

    const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-phone";
    const std::string output = root.path() + "/bridge.txt";
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    char* argv[] = {const_cast<char*>(program.c_str()), const_cast<char*>("bridge"), nullptr};
    pid_t pid = -1;
    ASSERT_EQ(::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ), 0);
    posix_spawn_file_actions_destroy(&actions);

    EXPECT_TRUE(wait_until([] { return method_calls("BindShortcuts").find("'record'") != std::string::npos; }))
        << method_calls("BindShortcuts");
    EXPECT_TRUE(wait_until([&] { return read_bytes(output).find("bridge running") != std::string::npos; }));
    std::string reply;
    ASSERT_TRUE(call_method(portal, portal_path, "org.freedesktop.DBus.Mock", "Press", "('record',)", &reply));
    EXPECT_EQ(reply, "(1,)");
    EXPECT_TRUE(wait_until([&] { return read_bytes(started) == "record\n"; })) << read_bytes(output);
    // The bridge tells of it once the program was started, which may be after the program spoke.
    EXPECT_TRUE(wait_until([&] {
        return read_bytes(output).find("shortcut: started \"" + stand_in + "\" record") != std::string::npos;
    })) << read_bytes(output);

    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    env.unset("QUILLON_TOUCH_PROGRAM");
}
