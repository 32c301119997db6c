#include "os/shortcuts/global_shortcut.h"

#include <gio/gio.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "os/dbus/gio_link.h"
#include "os/log.h"
#include "os/text.h"

namespace os {

namespace {

constexpr const char* portal_name = "org.freedesktop.portal.Desktop";
constexpr const char* portal_path = "/org/freedesktop/portal/desktop";
constexpr const char* shortcuts_interface = "org.freedesktop.portal.GlobalShortcuts";
constexpr const char* request_interface = "org.freedesktop.portal.Request";
// A desktop's dialog waits for the user: the call itself returns at once, the answer comes later.
constexpr int call_timeout_ms = 25000;

}  // namespace

struct GlobalShortcut::Impl {
    std::string app_id;
    std::string id;
    std::string description;
    std::string preferred_trigger;
    ActivatedHandler handler;

    os::dbus::LoopThread loop_thread;

    // The loop thread's alone.
    os::dbus::Bus session_bus;
    GDBusConnection* bus = nullptr;  // session_bus's
    GCancellable* cancellable = nullptr;
    guint response_subscription = 0;
    guint activated_subscription = 0;
    std::string session;
    int token = 0;
    void (*on_response)(Impl*, guint32, GVariant*) = nullptr;

    mutable std::mutex lock;
    std::condition_variable settled;
    State state = State::Binding;
    std::u16string trigger;

    void start();
    void settle(State reached, std::u16string_view why);
    // Calls a portal method that answers through a Request object; then() gets its Response.
    void request(const char* method, GVariant* (*parameters)(Impl*, const char* token),
                 void (*then)(Impl*, guint32, GVariant*));
    void create_session();
    void bind();
    void stop();
};

void GlobalShortcut::Impl::settle(State reached, std::u16string_view why) {
    log() << u"shortcuts: " << why << u"\n";
    {
        std::lock_guard<std::mutex> guard(lock);
        state = reached;
    }
    settled.notify_all();
}

void GlobalShortcut::Impl::start() {
    std::string reason;
    session_bus = os::dbus::Bus::open(os::dbus::BusKind::session, reason);
    bus = os::dbus::gio_connection(session_bus);
    const std::u16string why = from_utf8(reason);
    if (!bus) {
        settle(State::Unavailable, u"no session bus: " + why);
        return;
    }
    // A program that no sandbox names tells the portal which desktop entry it is; a portal too old
    // to know the registry answers with an error, which changes nothing.
    g_dbus_connection_call(bus, portal_name, portal_path, "org.freedesktop.host.portal.Registry", "Register",
                           g_variant_new("(sa{sv})", app_id.c_str(), nullptr), nullptr, G_DBUS_CALL_FLAGS_NONE,
                           call_timeout_ms, cancellable, nullptr, nullptr);
    // The portal is asked for the interface's version first: without it nothing is bound.
    g_dbus_connection_call(
        bus, portal_name, portal_path, "org.freedesktop.DBus.Properties", "Get",
        g_variant_new("(ss)", shortcuts_interface, "version"), G_VARIANT_TYPE("(v)"), G_DBUS_CALL_FLAGS_NONE,
        call_timeout_ms, cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (!reply) {
                const bool cancelled = g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED);
                const std::u16string why = from_utf8(error ? error->message : "no answer");
                if (error) g_error_free(error);
                if (!cancelled)
                    static_cast<Impl*>(data)->settle(State::Unavailable, u"no GlobalShortcuts portal: " + why);
                return;
            }
            g_variant_unref(reply);
            static_cast<Impl*>(data)->create_session();
        },
        this);
}

void GlobalShortcut::Impl::request(const char* method, GVariant* (*parameters)(Impl*, const char* token),
                                   void (*then)(Impl*, guint32, GVariant*)) {
    // The Response comes on a path made of our unique name and a token of ours: listened for
    // before the call, so that an answer given at once is not missed.
    std::string sender = g_dbus_connection_get_unique_name(bus) + 1;
    for (char& c : sender) {
        if (c == '.') c = '_';
    }
    const std::string handle = "quillon" + std::to_string(++token);
    const std::string path = std::string(portal_path) + "/request/" + sender + "/" + handle;
    if (response_subscription != 0) g_dbus_connection_signal_unsubscribe(bus, response_subscription);
    on_response = then;
    response_subscription = g_dbus_connection_signal_subscribe(
        bus, portal_name, request_interface, "Response", path.c_str(), nullptr, G_DBUS_SIGNAL_FLAGS_NONE,
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
           gpointer data) {
            auto* impl = static_cast<Impl*>(data);
            if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(ua{sv})"))) return;
            guint32 response = 2;
            GVariant* results = nullptr;
            g_variant_get(parameters, "(u@a{sv})", &response, &results);
            g_dbus_connection_signal_unsubscribe(impl->bus, impl->response_subscription);
            impl->response_subscription = 0;
            if (impl->on_response) impl->on_response(impl, response, results);
            g_variant_unref(results);
        },
        this, nullptr);
    struct Call {
        Impl* impl;
        std::string method;
    };
    g_dbus_connection_call(
        bus, portal_name, portal_path, shortcuts_interface, method, parameters(this, handle.c_str()),
        G_VARIANT_TYPE("(o)"), G_DBUS_CALL_FLAGS_NONE, call_timeout_ms, cancellable,
        [](GObject* source, GAsyncResult* result, gpointer data) {
            auto* call = static_cast<Call*>(data);
            GError* error = nullptr;
            GVariant* reply = g_dbus_connection_call_finish(G_DBUS_CONNECTION(source), result, &error);
            if (reply) {
                g_variant_unref(reply);
            } else if (!g_error_matches(error, G_IO_ERROR, G_IO_ERROR_CANCELLED)) {
                call->impl->settle(State::Unavailable,
                                   from_utf8(call->method + " failed: " + (error ? error->message : "no answer")));
            }
            if (error) g_error_free(error);
            delete call;
        },
        new Call{this, method});
}

void GlobalShortcut::Impl::create_session() {
    request(
        "CreateSession",
        [](Impl* impl, const char* token) {
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
            const std::string session_token = "quillon_session" + std::to_string(impl->token);
            g_variant_builder_add(&options, "{sv}", "session_handle_token",
                                  g_variant_new_string(session_token.c_str()));
            return g_variant_new("(a{sv})", &options);
        },
        [](Impl* impl, guint32 response, GVariant* results) {
            const gchar* session = nullptr;
            if (response != 0 || !g_variant_lookup(results, "session_handle", "&s", &session) || !session) {
                impl->settle(State::Refused, u"the desktop made no shortcut session");
                return;
            }
            impl->session = session;
            // Presses of the key come as Activated signals for this session.
            impl->activated_subscription = g_dbus_connection_signal_subscribe(
                impl->bus, portal_name, shortcuts_interface, "Activated", portal_path, nullptr,
                G_DBUS_SIGNAL_FLAGS_NONE,
                [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*, GVariant* parameters,
                   gpointer data) {
                    auto* impl = static_cast<Impl*>(data);
                    if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(osta{sv})"))) return;
                    const gchar* session = nullptr;
                    const gchar* id = nullptr;
                    g_variant_get_child(parameters, 0, "&o", &session);
                    g_variant_get_child(parameters, 1, "&s", &id);
                    if (impl->session != session || impl->id != id) return;
                    log() << u"shortcuts: " << from_utf8(id) << u" pressed\n";
                    if (impl->handler) impl->handler();
                },
                impl, nullptr);
            impl->bind();
        });
}

void GlobalShortcut::Impl::bind() {
    request(
        "BindShortcuts",
        [](Impl* impl, const char* token) {
            GVariantBuilder properties;
            g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&properties, "{sv}", "description", g_variant_new_string(impl->description.c_str()));
            g_variant_builder_add(&properties, "{sv}", "preferred_trigger",
                                  g_variant_new_string(impl->preferred_trigger.c_str()));
            GVariantBuilder shortcuts;
            g_variant_builder_init(&shortcuts, G_VARIANT_TYPE("a(sa{sv})"));
            g_variant_builder_add(&shortcuts, "(sa{sv})", impl->id.c_str(), &properties);
            GVariantBuilder options;
            g_variant_builder_init(&options, G_VARIANT_TYPE("a{sv}"));
            g_variant_builder_add(&options, "{sv}", "handle_token", g_variant_new_string(token));
            return g_variant_new("(oa(sa{sv})sa{sv})", impl->session.c_str(), &shortcuts, "", &options);
        },
        [](Impl* impl, guint32 response, GVariant* results) {
            GVariant* shortcuts = g_variant_lookup_value(results, "shortcuts", G_VARIANT_TYPE("a(sa{sv})"));
            std::u16string trigger;
            bool found = false;
            if (shortcuts) {
                GVariantIter iter;
                g_variant_iter_init(&iter, shortcuts);
                const gchar* id = nullptr;
                GVariant* properties = nullptr;
                while (g_variant_iter_next(&iter, "(&s@a{sv})", &id, &properties)) {
                    if (impl->id == id) {
                        found = true;
                        const gchar* described = nullptr;
                        if (g_variant_lookup(properties, "trigger_description", "&s", &described) && described) {
                            trigger = from_utf8(described);
                        }
                    }
                    g_variant_unref(properties);
                }
                g_variant_unref(shortcuts);
            }
            if (response != 0 || !found) {
                impl->settle(State::Refused, u"the desktop did not bind " + from_utf8(impl->id));
                return;
            }
            {
                std::lock_guard<std::mutex> guard(impl->lock);
                impl->trigger = trigger;
            }
            impl->settle(State::Bound,
                         u"bound " + from_utf8(impl->id) + u" to " + (trigger.empty() ? u"a key" : trigger));
        });
}

void GlobalShortcut::Impl::stop() {
    g_cancellable_cancel(cancellable);
    if (bus) {
        if (response_subscription != 0) g_dbus_connection_signal_unsubscribe(bus, response_subscription);
        if (activated_subscription != 0) g_dbus_connection_signal_unsubscribe(bus, activated_subscription);
        // The session ends with the connection; closing it says so at once.
        if (!session.empty()) {
            g_dbus_connection_call(bus, portal_name, session.c_str(), "org.freedesktop.portal.Session", "Close",
                                   nullptr, nullptr, G_DBUS_CALL_FLAGS_NONE, 1000, nullptr, nullptr, nullptr);
        }
        g_dbus_connection_flush_sync(bus, nullptr, nullptr);
    }
    loop_thread.quit();
}

GlobalShortcut::GlobalShortcut(std::u16string app_id, std::u16string id, std::u16string description,
                               std::u16string preferred_trigger, ActivatedHandler handler)
    : m_impl(std::make_unique<Impl>()) {
    Impl& impl = *m_impl;
    impl.app_id = to_utf8(app_id);
    impl.id = to_utf8(id);
    impl.description = to_utf8(description);
    impl.preferred_trigger = to_utf8(preferred_trigger);
    impl.handler = std::move(handler);
    impl.cancellable = g_cancellable_new();
    impl.loop_thread.start([&impl] { impl.start(); },
                           [&impl] {
                               impl.session_bus.reset();
                               impl.bus = nullptr;
                           });
}

GlobalShortcut::~GlobalShortcut() {
    Impl& impl = *m_impl;
    impl.loop_thread.finish([&impl] { impl.stop(); });
    g_object_unref(impl.cancellable);
}

GlobalShortcut::State GlobalShortcut::state() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->state;
}

GlobalShortcut::State GlobalShortcut::wait_settled(double seconds) {
    std::unique_lock<std::mutex> guard(m_impl->lock);
    m_impl->settled.wait_for(guard, std::chrono::duration<double>(seconds),
                             [this] { return m_impl->state != State::Binding; });
    return m_impl->state;
}

std::u16string GlobalShortcut::trigger() const {
    std::lock_guard<std::mutex> guard(m_impl->lock);
    return m_impl->trigger;
}

}  // namespace os
