#include "os/dbus/bus.h"

#include <gio/gunixfdlist.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "os/dbus/gio_link.h"

namespace os::dbus {

namespace {

// Cancels an opening that takes longer than its bound: GDBus's connecting and authenticating
// have no time limit of their own, and a bus daemon that accepts but never answers would hold
// the opening thread for ever.
class Deadline {
public:
    Deadline(GCancellable* cancellable, int bound_ms)
        : m_thread([this, cancellable, bound_ms] {
              std::unique_lock<std::mutex> lock(m_mutex);
              if (!m_condition.wait_for(lock, std::chrono::milliseconds(bound_ms), [this] { return m_done; }))
                  g_cancellable_cancel(cancellable);
          }) {}
    ~Deadline() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_done = true;
        }
        m_condition.notify_one();
        m_thread.join();
    }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_done = false;
    std::thread m_thread;
};

std::string message_of(GError* error, const char* otherwise) {
    std::string out = error ? error->message : otherwise;
    if (error) g_error_free(error);
    return out;
}

}  // namespace

Bus Bus::open(BusKind kind, std::string& why, const OpenOptions& options) {
    GCancellable* cancellable = g_cancellable_new();
    GError* error = nullptr;
    GDBusConnection* connection = nullptr;
    {
        const Deadline deadline(cancellable, options.bound_ms);
        gchar* address = g_dbus_address_get_for_bus_sync(
            kind == BusKind::system ? G_BUS_TYPE_SYSTEM : G_BUS_TYPE_SESSION, cancellable, &error);
        if (address && kind == BusKind::session && !options.allow_autolaunch &&
            g_str_has_prefix(address, "autolaunch:")) {
            g_free(address);
            address = nullptr;
        }
        if (address) {
            connection = g_dbus_connection_new_for_address_sync(
                address,
                static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                                  G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
                nullptr, cancellable, &error);
            g_free(address);
        }
    }
    g_object_unref(cancellable);
    if (!connection) {
        why = message_of(error, "no address");
        return Bus();
    }
    if (error) g_error_free(error);
    g_dbus_connection_set_exit_on_close(connection, FALSE);
    return Bus(std::make_shared<Connection>(connection));
}

bool Bus::is_closed() const { return !m_connection || g_dbus_connection_is_closed(m_connection->gio); }

Value call(const Bus& bus, const Method& method, const Args& args, const char* reply_type, int timeout_ms,
           std::string& error) {
    GVariant* parameters = to_gio(args);
    if (!bus.is_valid()) {
        if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
        error = "no bus";
        return Value();
    }
    GError* failure = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(
        gio_connection(bus), method.name, method.path, method.interface, method.member, parameters,
        reply_type ? G_VARIANT_TYPE(reply_type) : nullptr, G_DBUS_CALL_FLAGS_NONE, timeout_ms, nullptr, &failure);
    if (!reply) {
        error = message_of(failure, "no answer");
        return Value();
    }
    if (failure) g_error_free(failure);
    return adopt(reply);
}

int call_for_descriptor(const Bus& bus, const Method& method, const Args& args, int timeout_ms, std::string& error) {
    GVariant* parameters = to_gio(args);
    if (!bus.is_valid()) {
        if (parameters) g_variant_unref(g_variant_ref_sink(parameters));
        error = "no bus";
        return -1;
    }
    GError* failure = nullptr;
    GUnixFDList* fds = nullptr;
    GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
        gio_connection(bus), method.name, method.path, method.interface, method.member, parameters,
        G_VARIANT_TYPE("(h)"), G_DBUS_CALL_FLAGS_NONE, timeout_ms, nullptr, &fds, nullptr, &failure);
    int fd = -1;
    if (reply) {
        gint32 index = -1;
        g_variant_get(reply, "(h)", &index);
        if (fds && index >= 0 && index < g_unix_fd_list_get_length(fds)) fd = g_unix_fd_list_get(fds, index, nullptr);
        g_variant_unref(reply);
        if (fd < 0) error = "no descriptor in the answer";
    } else {
        error = failure ? failure->message : "no answer";
    }
    if (failure) g_error_free(failure);
    if (fds) g_object_unref(fds);
    return fd;
}

// ---- watching a name ----

struct NameWatch::State {
    Bus bus;
    guint id = 0;
    std::function<void()> appeared;
    std::function<void()> vanished;
};

NameWatch::NameWatch(const Bus& bus, const std::string& name, std::function<void()> appeared,
                     std::function<void()> vanished) {
    if (!bus.is_valid()) return;
    m_state = std::make_unique<State>();
    m_state->bus = bus;
    m_state->appeared = std::move(appeared);
    m_state->vanished = std::move(vanished);
    m_state->id = g_bus_watch_name_on_connection(
        gio_connection(bus), name.c_str(), G_BUS_NAME_WATCHER_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, gpointer user) {
            // A copy: the callback may end the watch, and with it the state.
            const auto appeared = static_cast<State*>(user)->appeared;
            if (appeared) appeared();
        },
        [](GDBusConnection*, const gchar*, gpointer user) {
            const auto vanished = static_cast<State*>(user)->vanished;
            if (vanished) vanished();
        },
        m_state.get(), nullptr);
}

NameWatch::NameWatch() = default;
NameWatch::~NameWatch() { reset(); }
NameWatch::NameWatch(NameWatch&& other) noexcept = default;
NameWatch& NameWatch::operator=(NameWatch&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
    }
    return *this;
}

void NameWatch::reset() {
    if (m_state && m_state->id) g_bus_unwatch_name(m_state->id);
    m_state.reset();
}

// ---- owning a name ----

struct NameOwnership::State {
    Bus bus;
    guint id = 0;
    std::function<void(const std::string&)> acquired;
    std::function<void(const std::string&)> lost;
};

NameOwnership::NameOwnership(const Bus& bus, const std::string& name, std::function<void(const std::string&)> acquired,
                             std::function<void(const std::string&)> lost) {
    if (!bus.is_valid()) return;
    m_state = std::make_unique<State>();
    m_state->bus = bus;
    m_state->acquired = std::move(acquired);
    m_state->lost = std::move(lost);
    m_state->id = g_bus_own_name_on_connection(
        gio_connection(bus), name.c_str(), G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
        [](GDBusConnection*, const gchar* owned, gpointer user) {
            const auto acquired = static_cast<State*>(user)->acquired;
            if (acquired) acquired(owned);
        },
        [](GDBusConnection*, const gchar* owned, gpointer user) {
            const auto lost = static_cast<State*>(user)->lost;
            if (lost) lost(owned);
        },
        m_state.get(), nullptr);
}

NameOwnership::NameOwnership() = default;
NameOwnership::~NameOwnership() { reset(); }
NameOwnership::NameOwnership(NameOwnership&& other) noexcept = default;
NameOwnership& NameOwnership::operator=(NameOwnership&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
    }
    return *this;
}

void NameOwnership::reset() {
    if (m_state && m_state->id) g_bus_unown_name(m_state->id);
    m_state.reset();
}

// ---- signals ----

struct SignalSubscription::State {
    Bus bus;
    guint id = 0;
    std::function<void(const Signal&)> handler;
};

SignalSubscription::SignalSubscription(const Bus& bus, const SignalMatch& match,
                                       std::function<void(const Signal&)> handler) {
    if (!bus.is_valid()) return;
    m_state = std::make_unique<State>();
    m_state->bus = bus;
    m_state->handler = std::move(handler);
    m_state->id = g_dbus_connection_signal_subscribe(
        gio_connection(bus), match.sender, match.interface, match.member, match.path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar* path, const gchar* interface, const gchar* member,
           GVariant* parameters, gpointer user) {
            const auto handler = static_cast<State*>(user)->handler;
            if (!handler) return;
            handler(Signal{path ? path : "", interface ? interface : "", member ? member : "", borrow(parameters)});
        },
        m_state.get(), nullptr);
}

SignalSubscription::SignalSubscription() = default;
SignalSubscription::~SignalSubscription() { reset(); }
SignalSubscription::SignalSubscription(SignalSubscription&& other) noexcept = default;
SignalSubscription& SignalSubscription::operator=(SignalSubscription&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
    }
    return *this;
}

void SignalSubscription::reset() {
    if (m_state && m_state->id) g_dbus_connection_signal_unsubscribe(gio_connection(m_state->bus), m_state->id);
    m_state.reset();
}

// ---- the bus closing ----

struct CloseWatch::State {
    Bus bus;
    gulong id = 0;
    std::function<void(const std::string&)> closed;
};

CloseWatch::CloseWatch(const Bus& bus, std::function<void(const std::string&)> closed) {
    if (!bus.is_valid()) return;
    m_state = std::make_unique<State>();
    m_state->bus = bus;
    m_state->closed = std::move(closed);
    m_state->id = g_signal_connect(gio_connection(bus), "closed",
                                   G_CALLBACK(+[](GDBusConnection*, gboolean, GError* error, gpointer user) {
                                       const auto closed = static_cast<State*>(user)->closed;
                                       if (closed) closed(error ? error->message : "");
                                   }),
                                   m_state.get());
}

CloseWatch::CloseWatch() = default;
CloseWatch::~CloseWatch() { reset(); }
CloseWatch::CloseWatch(CloseWatch&& other) noexcept = default;
CloseWatch& CloseWatch::operator=(CloseWatch&& other) noexcept {
    if (this != &other) {
        reset();
        m_state = std::move(other.m_state);
    }
    return *this;
}

void CloseWatch::reset() {
    if (m_state && m_state->id) g_signal_handler_disconnect(gio_connection(m_state->bus), m_state->id);
    m_state.reset();
}

}  // namespace os::dbus
