#include "os/notify/desktop_notifier.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "os/dbus/gio_link.h"
#include "os/log.h"
#include "os/text.h"

namespace os {

namespace {

constexpr const char* service_name = "org.freedesktop.Notifications";
constexpr const char* service_path = "/org/freedesktop/Notifications";
constexpr const char* service_interface = "org.freedesktop.Notifications";
// A live server answers at once; a hung one must not keep a notification pending for long.
constexpr int call_timeout_ms = 5000;
constexpr double exit_grace_seconds = 2.0;
// What the server hands back when the notification's body is chosen.
constexpr const char* default_action = "default";

struct Request {
    DesktopNotifier::Impl* impl;
    Notification notification;
    uint64_t tag;
};

struct Call {
    DesktopNotifier::Impl* impl;
    uint64_t tag;
    bool has_action;
};

}  // namespace

struct DesktopNotifier::Impl {
    std::string app_name;
    std::string icon;
    std::string desktop_entry;

    os::dbus::LoopThread loop_thread;

    // The loop thread's alone.
    os::dbus::Bus session_bus;
    GDBusConnection* bus = nullptr;  // session_bus's
    GCancellable* cancellable = nullptr;
    os::dbus::SignalSubscription action_subscription;
    os::dbus::SignalSubscription closed_subscription;
    std::map<uint32_t, uint64_t> tags;  // the server's id of each notification with an action
    bool stopping = false;

    mutable std::mutex lock;
    std::condition_variable idle;
    int pending = 0;
    int shown = 0;
    int dropped = 0;
    ActionHandler handler;

    bool connect();
    void send(const Notification& notification, uint64_t tag);
    void finish(bool taken);
    void stop();
    void on_signal(const os::dbus::Signal& signal);
};

bool DesktopNotifier::Impl::connect() {
    if (bus && !g_dbus_connection_is_closed(bus)) return true;
    if (bus) {
        action_subscription.reset();
        closed_subscription.reset();
        session_bus.reset();
        bus = nullptr;
        tags.clear();
    }
    std::string reason;
    session_bus = os::dbus::Bus::open(os::dbus::BusKind::session, reason);
    bus = os::dbus::gio_connection(session_bus);
    const std::u16string why = from_utf8(reason);
    if (!bus) {
        log() << u"notification: no session bus: " << why << u"\n";
        return false;
    }
    const auto on_signal = [this](const os::dbus::Signal& signal) { this->on_signal(signal); };
    os::dbus::SignalMatch match;
    match.sender = service_name;
    match.interface = service_interface;
    match.path = service_path;
    match.member = "ActionInvoked";
    action_subscription = os::dbus::SignalSubscription(session_bus, match, on_signal);
    match.member = "NotificationClosed";
    closed_subscription = os::dbus::SignalSubscription(session_bus, match, on_signal);
    return true;
}

void DesktopNotifier::Impl::send(const Notification& notification, uint64_t tag) {
    if (stopping || !connect()) {
        finish(false);
        return;
    }
    const bool has_action = !notification.action_label.empty();
    GVariantBuilder actions;
    g_variant_builder_init(&actions, G_VARIANT_TYPE("as"));
    if (has_action) {
        g_variant_builder_add(&actions, "s", default_action);
        g_variant_builder_add(&actions, "s", to_utf8(notification.action_label).c_str());
    }
    GVariantBuilder hints;
    g_variant_builder_init(&hints, G_VARIANT_TYPE("a{sv}"));
    if (!desktop_entry.empty()) {
        g_variant_builder_add(&hints, "{sv}", "desktop-entry", g_variant_new_string(desktop_entry.c_str()));
    }
    GVariant* parameters =
        g_variant_new("(susssasa{sv}i)", app_name.c_str(), 0u, icon.c_str(), to_utf8(notification.summary).c_str(),
                      to_utf8(notification.body).c_str(), &actions, &hints, -1);
    auto* call = new Call{this, tag, has_action};
    g_dbus_connection_call(
        bus, service_name, service_path, service_interface, "Notify", parameters, G_VARIANT_TYPE("(u)"),
        G_DBUS_CALL_FLAGS_NONE, call_timeout_ms, cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* call = static_cast<Call*>(data);
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (reply) {
                guint32 id = 0;
                g_variant_get(reply, "(u)", &id);
                g_variant_unref(reply);
                if (call->has_action) call->impl->tags[id] = call->tag;
                log() << u"notification: shown as " << static_cast<long long>(id) << u"\n";
            } else {
                log() << u"notification: not shown: " << from_utf8(error ? error->message : "no answer") << u"\n";
            }
            if (error) g_error_free(error);
            call->impl->finish(reply != nullptr);
            delete call;
        },
        call);
}

void DesktopNotifier::Impl::on_signal(const os::dbus::Signal& signal) {
    const os::dbus::Value& parameters = signal.parameters;
    if (signal.member == "ActionInvoked" && parameters.is("(us)")) {
        const uint32_t id = parameters.child(0).uint32().value_or(0);
        const auto found = tags.find(id);
        if (found == tags.end() || parameters.child(1).string() != default_action) return;
        const uint64_t tag = found->second;
        tags.erase(found);
        ActionHandler chosen;
        {
            std::lock_guard<std::mutex> guard(lock);
            chosen = handler;
        }
        if (chosen) chosen(tag);
    } else if (signal.member == "NotificationClosed" && parameters.is("(uu)")) {
        tags.erase(parameters.child(0).uint32().value_or(0));
    }
}

void DesktopNotifier::Impl::finish(bool taken) {
    bool quit = false;
    {
        std::lock_guard<std::mutex> guard(lock);
        --pending;
        (taken ? shown : dropped) += 1;
        quit = stopping && pending == 0;
    }
    idle.notify_all();
    if (quit) loop_thread.quit();
}

// On the loop thread: calls still waiting for an answer are cancelled, and the loop ends once
// their callbacks have run, so nothing is left queued on a context nobody runs.
void DesktopNotifier::Impl::stop() {
    stopping = true;
    g_cancellable_cancel(cancellable);
    action_subscription.reset();
    closed_subscription.reset();
    std::lock_guard<std::mutex> guard(lock);
    if (pending == 0) loop_thread.quit();
}

DesktopNotifier::DesktopNotifier(std::u16string app_name, std::u16string icon, std::u16string desktop_entry)
    : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.app_name = to_utf8(app_name);
    impl.icon = to_utf8(icon);
    impl.desktop_entry = to_utf8(desktop_entry);
    impl.cancellable = g_cancellable_new();
    impl.loop_thread.start(nullptr, [&impl] {
        impl.session_bus.reset();
        impl.bus = nullptr;
    });
}

DesktopNotifier::~DesktopNotifier() {
    wait_idle(exit_grace_seconds);
    Impl& impl = *m_impl;
    impl.loop_thread.finish([&impl] { impl.stop(); });
    g_object_unref(impl.cancellable);
}

void DesktopNotifier::set_action_handler(ActionHandler handler) {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    m_impl->handler = std::move(handler);
}

void DesktopNotifier::show(const Notification& notification, uint64_t tag) {
    {
        std::lock_guard<std::mutex> guard(m_impl->lock);
        ++m_impl->pending;
    }
    g_main_context_invoke_full(
        m_impl->loop_thread.context(), G_PRIORITY_DEFAULT,
        [](gpointer data) {
            const auto* request = static_cast<const Request*>(data);
            request->impl->send(request->notification, request->tag);
            return G_SOURCE_REMOVE;
        },
        new Request{m_impl.get(), notification, tag}, [](gpointer data) { delete static_cast<Request*>(data); });
}

bool DesktopNotifier::wait_idle(double seconds) {
    std::unique_lock<std::mutex> guard(m_impl->lock);
    return m_impl->idle.wait_for(guard, std::chrono::duration<double>(seconds),
                                 [this] { return m_impl->pending == 0; });
}

int DesktopNotifier::shown_count() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->shown;
}

int DesktopNotifier::dropped_count() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->dropped;
}

}  // namespace os
