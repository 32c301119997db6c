#include "telephony/bridge/speaker_mirror.h"

#include <gio/gio.h>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "telephony/bridge/dbus_link.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/call_audio.h"
#include "telephony/phone_state.h"

struct SpeakerMirror::State {
    GDBusConnection* bus = nullptr;
    guint watch = 0;
    guint subscription = 0;

    void publish(GVariant* value) {
        const auto speaker = dbus_values::uint32(value, "callaudiod SpeakerState");
        if (!speaker) return;
        os::reg_write_dword(phone_state::hardware_key, phone_state::speaker,
                            *speaker == call_audio::speaker_on ? 1 : 0);
        os::reg_flush(phone_state::hardware_key);
    }

    static void on_appeared(GDBusConnection* bus, const gchar*, const gchar*, gpointer user) {
        auto* self = static_cast<State*>(user);
        os::log() << u"bridge: callaudiod found on the session bus\n";
        GError* error = nullptr;
        GVariant* reply = g_dbus_connection_call_sync(
            bus, call_audio::bus_name, call_audio::object_path, "org.freedesktop.DBus.Properties", "Get",
            g_variant_new("(ss)", call_audio::interface_name, "SpeakerState"), G_VARIANT_TYPE("(v)"),
            G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
        if (!reply) {
            os::log() << u"bridge: callaudiod SpeakerState: " << os::from_utf8(error ? error->message : "?") << u"\n";
            if (error) g_error_free(error);
            return;
        }
        GVariant* value = g_variant_get_child_value(reply, 0);
        self->publish(value);
        g_variant_unref(value);
        g_variant_unref(reply);
    }

    static void on_vanished(GDBusConnection*, const gchar*, gpointer) {}

    static void on_properties(GDBusConnection*, const gchar*, const gchar*, const gchar*, const gchar*,
                              GVariant* parameters, gpointer user) {
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) return;
        const gchar* interface = nullptr;
        GVariant* properties = nullptr;
        g_variant_get(parameters, "(&s@a{sv}@as)", &interface, &properties, nullptr);
        if (std::string_view(interface) == call_audio::interface_name) {
            if (GVariant* value = dbus_values::lookup(properties, "SpeakerState")) {
                static_cast<State*>(user)->publish(value);
                g_variant_unref(value);
            }
        }
        g_variant_unref(properties);
    }
};

SpeakerMirror::SpeakerMirror() : m_state(std::make_unique<State>()) {
    std::string error;
    m_state->bus = bridge_open_bus(false, error);
    if (!m_state->bus) {
        os::log() << u"bridge: no session bus, the speaker state is not followed: " << os::from_utf8(error) << u"\n";
        return;
    }
    m_state->subscription = g_dbus_connection_signal_subscribe(
        m_state->bus, call_audio::bus_name, "org.freedesktop.DBus.Properties", "PropertiesChanged",
        call_audio::object_path, nullptr, G_DBUS_SIGNAL_FLAGS_NONE, &State::on_properties, m_state.get(), nullptr);
    m_state->watch = g_bus_watch_name_on_connection(m_state->bus, call_audio::bus_name, G_BUS_NAME_WATCHER_FLAGS_NONE,
                                                    &State::on_appeared, &State::on_vanished, m_state.get(), nullptr);
}

SpeakerMirror::~SpeakerMirror() {
    if (!m_state->bus) return;
    g_bus_unwatch_name(m_state->watch);
    g_dbus_connection_signal_unsubscribe(m_state->bus, m_state->subscription);
    g_object_unref(m_state->bus);
}
