#include "telephony/bridge/call_notification_keeper.h"

#include <gio/gio.h>
#include <sys/wait.h>

#include <map>
#include <mutex>

#include "os/dbus/gio_link.h"
#include "os/log.h"
#include "os/text.h"

namespace call_notification_keeper {

namespace {

constexpr const char* show_method = "ShowCallNotification";
// A bridge that runs answers at once; one that hangs must not hold the notification back for long:
// the instance shows it itself then.
constexpr int call_timeout_ms = 3000;

}  // namespace

bool hand_over(const os::Notification& notification, std::u16string_view path, std::u16string& why) {
    std::string error;
    os::dbus::OpenOptions options;
    options.allow_autolaunch = true;  // as every session-bus peer of the bridge
    const os::dbus::Bus link = os::dbus::Bus::open(os::dbus::BusKind::session, error, options);
    GDBusConnection* bus = os::dbus::gio_connection(link);
    if (!bus) {
        why = u"no session bus: " + os::from_utf8(error);
        return false;
    }
    GError* failure = nullptr;
    // No bus activation: only a bridge that runs now keeps notifications.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, bus_name, object_path, interface_name, show_method,
        g_variant_new("(ssss)", os::to_utf8(notification.summary).c_str(), os::to_utf8(notification.body).c_str(),
                      os::to_utf8(notification.action_label).c_str(), os::to_utf8(path).c_str()),
        G_VARIANT_TYPE("()"), G_DBUS_CALL_FLAGS_NO_AUTO_START, call_timeout_ms, nullptr, &failure);
    if (reply) g_variant_unref(reply);
    if (failure) {
        why = os::from_utf8(failure->message);
        g_error_free(failure);
    }
    return reply != nullptr;
}

}  // namespace call_notification_keeper

namespace {

constexpr const char* introspection =
    "<node>"
    "  <interface name='com.korvel.QuillonTouch.PhoneBridge'>"
    "    <method name='ShowCallNotification'>"
    "      <arg type='s' name='summary' direction='in'/>"
    "      <arg type='s' name='body' direction='in'/>"
    "      <arg type='s' name='action_label' direction='in'/>"
    "      <arg type='s' name='path' direction='in'/>"
    "    </method>"
    "  </interface>"
    "</node>";

// Texts go to the notification server as they are (it shows them as plain text); a path is only
// ever handed to quillon-touch as one argument, but it must name a file and nothing else.
bool acceptable_path(const std::string& path) {
    if (path.empty() || path.front() != '/' || path.size() > call_notification_keeper::max_bytes) return false;
    for (const unsigned char c : path) {
        if (c < 0x20 || c == 0x7f) return false;
    }
    return true;
}

}  // namespace

struct CallNotificationKeeper::State {
    std::unique_ptr<os::Notifier> notifier;
    Opener opener;
    os::dbus::Bus link;
    GDBusConnection* bus = nullptr;  // link's, exported on with GDBus itself
    GDBusNodeInfo* node = nullptr;
    guint object = 0;
    guint owner = 0;

    std::mutex lock;  // the notifier's thread chooses, the loop's thread shows
    std::function<void(const std::string&)> listener;
    uint64_t next_tag = 1;
    std::map<uint64_t, std::u16string> paths;
    std::map<GPid, guint> watches;  // openers not yet ended

    void tell(const std::string& message) {
        std::function<void(const std::string&)> told;
        {
            std::lock_guard<std::mutex> guard(lock);
            told = listener;
        }
        os::log() << u"bridge: " << os::from_utf8(message) << u"\n";
        if (told) told(message);
    }

    void on_show(GVariant* parameters, GDBusMethodInvocation* invocation) {
        const gchar* summary = nullptr;
        const gchar* body = nullptr;
        const gchar* label = nullptr;
        const gchar* path = nullptr;
        g_variant_get(parameters, "(&s&s&s&s)", &summary, &body, &label, &path);
        const std::string path_text = path;
        const bool has_action = label[0] != '\0';
        if (std::string_view(summary).size() > call_notification_keeper::max_bytes ||
            std::string_view(body).size() > call_notification_keeper::max_bytes ||
            std::string_view(label).size() > call_notification_keeper::max_bytes ||
            (has_action && !acceptable_path(path_text))) {
            g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.InvalidArgs",
                                                       "a text is too long or the path is not a file's");
            return;
        }
        uint64_t tag = 0;
        {
            std::lock_guard<std::mutex> guard(lock);
            tag = next_tag++;
            if (has_action) paths[tag] = os::from_utf8(path_text);
        }
        notifier->show({os::from_utf8(summary), os::from_utf8(body), os::from_utf8(label)}, tag);
        g_dbus_method_invocation_return_value(invocation, nullptr);
        tell("notification kept: " + std::string(summary) + (has_action ? " (opens " + path_text + ")" : ""));
    }

    // On the notifier's thread.
    void on_chosen(uint64_t tag) {
        std::u16string path;
        {
            std::lock_guard<std::mutex> guard(lock);
            const auto found = paths.find(tag);
            if (found == paths.end()) return;
            path = found->second;
            paths.erase(found);
        }
        const pid_t pid = opener ? opener(path) : -1;
        if (pid <= 0) {
            tell("notification chosen: could not open " + os::to_utf8(path));
            return;
        }
        tell("notification chosen: opening " + os::to_utf8(path) + " (pid " + std::to_string(pid) + ")");
        // Reaped on the loop's thread, so a long-lived bridge leaves no dead children behind.
        std::lock_guard<std::mutex> guard(lock);
        watches[pid] = g_child_watch_add(
            pid,
            [](GPid child, gint status, gpointer user) {
                auto* self = static_cast<State*>(user);
                {
                    std::lock_guard<std::mutex> guard(self->lock);
                    self->watches.erase(child);
                }
                self->tell("opener " + std::to_string(child) + " ended with status " +
                           std::to_string(WIFEXITED(status) ? WEXITSTATUS(status) : -1));
                g_spawn_close_pid(child);
            },
            this);
    }
};

CallNotificationKeeper::CallNotificationKeeper(std::unique_ptr<os::Notifier> notifier, Opener opener)
    : m_state(std::make_unique<State>()) {
    State& state = *m_state;
    state.notifier = std::move(notifier);
    state.opener = std::move(opener);
    state.notifier->set_action_handler([&state](uint64_t tag) { state.on_chosen(tag); });
    std::string error;
    os::dbus::OpenOptions options;
    options.allow_autolaunch = true;
    state.link = os::dbus::Bus::open(os::dbus::BusKind::session, error, options);
    state.bus = os::dbus::gio_connection(state.link);
    if (!state.bus) {
        os::log() << u"bridge: no session bus, call notifications stay with the recorder: " << os::from_utf8(error)
                  << u"\n";
        return;
    }
    state.node = g_dbus_node_info_new_for_xml(introspection, nullptr);
    static const GDBusInterfaceVTable vtable = {
        [](GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar* method, GVariant* parameters,
           GDBusMethodInvocation* invocation, gpointer user) {
            if (g_strcmp0(method, "ShowCallNotification") == 0) {
                static_cast<State*>(user)->on_show(parameters, invocation);
            } else {
                g_dbus_method_invocation_return_dbus_error(invocation, "org.freedesktop.DBus.Error.UnknownMethod",
                                                           "no such method");
            }
        },
        nullptr,
        nullptr,
        {nullptr}};
    GError* failure = nullptr;
    state.object = g_dbus_connection_register_object(state.bus, call_notification_keeper::object_path,
                                                     state.node->interfaces[0], &vtable, &state, nullptr, &failure);
    if (!state.object) {
        os::log() << u"bridge: call notifications stay with the recorder: "
                  << os::from_utf8(failure ? failure->message : "?") << u"\n";
        if (failure) g_error_free(failure);
        return;
    }
    state.owner = g_bus_own_name_on_connection(
        state.bus, call_notification_keeper::bus_name, G_BUS_NAME_OWNER_FLAGS_DO_NOT_QUEUE,
        [](GDBusConnection*, const gchar*, gpointer user) {
            static_cast<State*>(user)->tell("keeps the call notifications");
        },
        [](GDBusConnection*, const gchar*, gpointer user) {
            // Another bridge keeps them, or the bus went away: the recorder shows its own then.
            static_cast<State*>(user)->tell("does not keep the call notifications (another bridge or no bus)");
        },
        &state, nullptr);
}

CallNotificationKeeper::~CallNotificationKeeper() {
    State& state = *m_state;
    if (state.owner) g_bus_unown_name(state.owner);
    if (state.object) g_dbus_connection_unregister_object(state.bus, state.object);
    if (state.node) g_dbus_node_info_unref(state.node);
    state.link.reset();
    // The notifier's thread ends before the state it calls into.
    state.notifier.reset();
    // An opener still running is no longer watched; it outlives the bridge as any program would.
    std::lock_guard<std::mutex> guard(state.lock);
    for (const auto& [pid, watch] : state.watches) g_source_remove(watch);
}

void CallNotificationKeeper::set_message_listener(std::function<void(const std::string&)> listener) {
    std::lock_guard<std::mutex> guard(m_state->lock);
    m_state->listener = std::move(listener);
}
