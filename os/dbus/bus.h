#pragma once
// D-Bus as this program uses it: a connection of its own to the session or system bus, calls that
// wait a bounded time for their answer, watching a name's owner, owning a name, following a signal.
// GDBus (GLib) does the work inside the .cpp files; these are our own types.
//
// Threads: callbacks run on the thread that made the watch or subscription, from the GLib main
// context that was its thread-default then (the caller iterates it). Everything else may be used
// from the thread that opened the bus.
#include <functional>
#include <memory>
#include <string>

#include "os/dbus/value.h"

namespace os::dbus {

struct Connection;

enum class BusKind { session, system };

struct OpenOptions {
    // How long connecting and authenticating may take before the opening fails.
    int bound_ms = 5000;
    // GLib's "autolaunch:" fallback for the session bus starts a bus of its own (or finds the
    // display's), on which a desktop service is not expected to run.
    bool allow_autolaunch = false;
};

// A connection of our own: closing it never ends the process (as GLib's shared bus connections
// would), and nothing else in the process holds it. Copies share the connection; the last one
// closes it.
class Bus {
public:
    Bus() = default;
    // Invalid, with the reason in why, when there is no such bus or it did not answer in time.
    static Bus open(BusKind kind, std::string& why, const OpenOptions& options = {});

    bool is_valid() const { return m_connection != nullptr; }
    bool is_closed() const;
    void reset() { m_connection.reset(); }

    const std::shared_ptr<Connection>& connection() const { return m_connection; }

private:
    explicit Bus(std::shared_ptr<Connection> connection) : m_connection(std::move(connection)) {}
    std::shared_ptr<Connection> m_connection;
};

struct Method {
    const char* name;       // the peer's bus name
    const char* path;       // object path
    const char* interface;  // interface name
    const char* member;     // method name
};

// Calls a method and waits at most timeout_ms for the answer. reply_type ("(b)", "(a{sv})"; null
// for any) is checked by GDBus: an answer of another type is a failure. None, with the reason in
// error, on failure.
Value call(const Bus& bus, const Method& method, const Args& args, const char* reply_type, int timeout_ms,
           std::string& error);

// A call answered with "(h)": the descriptor it carries, owned by the caller; -1 with the reason
// in error on failure.
int call_for_descriptor(const Bus& bus, const Method& method, const Args& args, int timeout_ms, std::string& error);

// Told whenever the name gets an owner (appeared) or loses it (vanished), and once at the start
// with how it is. Stops when destroyed.
class NameWatch {
public:
    NameWatch();
    NameWatch(const Bus& bus, const std::string& name, std::function<void()> appeared, std::function<void()> vanished);
    ~NameWatch();
    NameWatch(NameWatch&& other) noexcept;
    NameWatch& operator=(NameWatch&& other) noexcept;

    void reset();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Asks the bus for a name, without waiting in its queue when another has it: acquired when the
// name is ours, lost when it could not be had or was taken away. Released when destroyed.
class NameOwnership {
public:
    NameOwnership();
    NameOwnership(const Bus& bus, const std::string& name, std::function<void(const std::string&)> acquired,
                  std::function<void(const std::string&)> lost);
    ~NameOwnership();
    NameOwnership(NameOwnership&& other) noexcept;
    NameOwnership& operator=(NameOwnership&& other) noexcept;

    void reset();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

struct Signal {
    std::string path;
    std::string interface;
    std::string member;
    Value parameters;
};

struct SignalMatch {
    const char* sender = nullptr;  // null: any, as for every field
    const char* interface = nullptr;
    const char* member = nullptr;
    const char* path = nullptr;
};

// Follows the signals that match. Stops when destroyed.
class SignalSubscription {
public:
    SignalSubscription();
    SignalSubscription(const Bus& bus, const SignalMatch& match, std::function<void(const Signal&)> handler);
    ~SignalSubscription();
    SignalSubscription(SignalSubscription&& other) noexcept;
    SignalSubscription& operator=(SignalSubscription&& other) noexcept;

    void reset();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Told once when the bus closes under the connection (the daemon went away), with the reason.
class CloseWatch {
public:
    CloseWatch();
    CloseWatch(const Bus& bus, std::function<void(const std::string&)> closed);
    ~CloseWatch();
    CloseWatch(CloseWatch&& other) noexcept;
    CloseWatch& operator=(CloseWatch&& other) noexcept;

    void reset();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

}  // namespace os::dbus
