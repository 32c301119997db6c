#pragma once
// A D-Bus daemon of the test's own (its own configuration, a socket in the test's root) that
// stands in for both the system and the session bus, and python3-dbusmock services on it. The
// machine's buses are never used: DBUS_SYSTEM_BUS_ADDRESS and DBUS_SESSION_BUS_ADDRESS point here
// while the bus runs. Every process is started here and stopped by its pid.
#include <sys/types.h>

#include <string>
#include <utility>
#include <vector>

namespace bus_test {

class PrivateBus {
public:
    // Starts the daemon and waits for its address; ok() tells whether it runs. The bus addresses
    // point at it until it is destroyed, then back where they pointed before.
    explicit PrivateBus(const std::string& folder);
    ~PrivateBus();
    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    bool ok() const { return m_pid > 0 && !m_address.empty(); }
    const std::string& address() const { return m_address; }

private:
    pid_t m_pid = -1;
    std::string m_address;
    std::vector<std::pair<std::string, std::string>> m_before;
};

// A python3-dbusmock process: "python3 -m dbusmock" with the arguments.
class MockService {
public:
    // Starts it and waits until name has an owner on the bus.
    MockService(const std::string& name, const std::vector<std::string>& arguments, const std::string& log_path);
    ~MockService();
    MockService(const MockService&) = delete;
    MockService& operator=(const MockService&) = delete;

    bool ok() const { return m_ok; }
    // Stops the process (SIGTERM) and waits for it; its name leaves the bus.
    void stop();

private:
    pid_t m_pid = -1;
    bool m_ok = false;
};

// Calls a method on the test bus. arguments is GVariant text of the whole parameter tuple (empty for
// none). True when the call was answered without an error; the reply as GVariant text in reply.
bool call_method(const std::string& name, const std::string& path, const std::string& interface,
                 const std::string& method, const std::string& arguments, std::string* reply = nullptr);
// org.freedesktop.DBus.Mock's methods on a mock object.
bool mock(const std::string& name, const std::string& path, const std::string& method, const std::string& arguments);
bool has_owner(const std::string& name);

}  // namespace bus_test
