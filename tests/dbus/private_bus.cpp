#include "tests/dbus/private_bus.h"

#include <fcntl.h>
#include <gio/gio.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

#include "os/event.h"
#include "os/stopwatch.h"

extern char** environ;

namespace bus_test {

namespace {

pid_t spawn(const std::vector<std::string>& argv, int stdout_fd) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (stdout_fd >= 0) posix_spawn_file_actions_adddup2(&actions, stdout_fd, 1);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    std::vector<char*> args;
    for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    pid_t pid = -1;
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

void stop_process(pid_t& pid) {
    if (pid <= 0) return;
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    pid = -1;
}

// One connection of the test's own for driving the mocks.
GDBusConnection* test_connection() {
    static GDBusConnection* connection = [] {
        GError* error = nullptr;
        const char* address = std::getenv("DBUS_SYSTEM_BUS_ADDRESS");
        GDBusConnection* bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        if (error) {
            std::fprintf(stderr, "test bus: %s\n", error->message);
            g_error_free(error);
        }
        if (bus) g_dbus_connection_set_exit_on_close(bus, FALSE);
        return bus;
    }();
    return connection;
}

}  // namespace

PrivateBus::PrivateBus(const std::string& folder) {
    const std::string config = folder + "/bus.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n"
                             "  <type>session</type>\n"
                             "  <listen>unix:path="
                          << folder
                          << "/bus.socket</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n";
    int pipe_fds[2];
    if (::pipe(pipe_fds) != 0) return;
    m_pid =
        spawn({"dbus-daemon", "--config-file=" + config, "--nofork", "--nopidfile", "--print-address=1"}, pipe_fds[1]);
    ::close(pipe_fds[1]);
    // The daemon prints its address once it listens.
    std::string line;
    char c = 0;
    while (::read(pipe_fds[0], &c, 1) == 1 && c != '\n') line += c;
    ::close(pipe_fds[0]);
    m_address = line;
    if (!ok()) return;
    for (const char* name : {"DBUS_SYSTEM_BUS_ADDRESS", "DBUS_SESSION_BUS_ADDRESS"}) {
        const char* before = std::getenv(name);
        m_before.emplace_back(name, before ? before : "");
        ::setenv(name, m_address.c_str(), 1);
    }
}

PrivateBus::~PrivateBus() {
    stop_process(m_pid);
    for (const auto& [name, value] : m_before) ::setenv(name.c_str(), value.c_str(), 1);
}

MockService::MockService(const std::string& name, const std::vector<std::string>& arguments,
                         const std::string& log_path) {
    // Debian's interpreter, which has python3-dbusmock, whatever else is first on the PATH.
    std::vector<std::string> argv = {"/usr/bin/python3", "-m", "dbusmock"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    const int log = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    m_pid = spawn(argv, log);
    if (log >= 0) ::close(log);
    if (m_pid <= 0) return;
    // Python's start-up takes a few hundred milliseconds; nothing tells but the name.
    const Stopwatch watch;
    while (!has_owner(name) && watch.elapsed() < 20.0) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return;
        }
        sleep_seconds(0.02);
    }
    m_ok = has_owner(name);
}

MockService::~MockService() { stop(); }

void MockService::stop() { stop_process(m_pid); }

bool call_method(const std::string& name, const std::string& path, const std::string& interface,
                 const std::string& method, const std::string& arguments, std::string* reply_text) {
    GDBusConnection* bus = test_connection();
    if (!bus) return false;
    GVariant* parameters = nullptr;
    if (!arguments.empty()) {
        GError* error = nullptr;
        parameters = g_variant_parse(nullptr, arguments.c_str(), nullptr, nullptr, &error);
        if (!parameters) {
            std::fprintf(stderr, "cannot parse %s: %s\n", arguments.c_str(), error->message);
            g_error_free(error);
            return false;
        }
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name.c_str(), path.c_str(), interface.c_str(), method.c_str(),
                                                  parameters, nullptr, G_DBUS_CALL_FLAGS_NONE, 5000, nullptr, &error);
    if (!reply) {
        std::fprintf(stderr, "%s.%s on %s: %s\n", interface.c_str(), method.c_str(), path.c_str(), error->message);
        g_error_free(error);
        return false;
    }
    if (reply_text) {
        gchar* printed = g_variant_print(reply, FALSE);
        *reply_text = printed;
        g_free(printed);
    }
    g_variant_unref(reply);
    return true;
}

bool mock(const std::string& name, const std::string& path, const std::string& method, const std::string& arguments) {
    return call_method(name, path, "org.freedesktop.DBus.Mock", method, arguments);
}

bool has_owner(const std::string& name) {
    std::string reply;
    if (!call_method("org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus", "NameHasOwner",
                     "('" + name + "',)", &reply)) {
        return false;
    }
    return reply == "(true,)";
}

}  // namespace bus_test
