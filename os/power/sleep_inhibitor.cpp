#include "os/power/sleep_inhibitor.h"

#include <gio/gio.h>
#include <gio/gunixfdlist.h>
#include <unistd.h>

#include "os/log.h"
#include "os/text.h"

namespace {

// A connection of its own, closed right after the call: the lock lives in the descriptor logind
// hands back, not in the connection, and a closed shared connection would end the process.
GDBusConnection* open_system_bus(std::string& error) {
    GError* failure = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SYSTEM, nullptr, &failure);
    GDBusConnection* bus = nullptr;
    if (address) {
        bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &failure);
        g_free(address);
    }
    if (!bus) {
        error = failure ? failure->message : "no address";
        if (failure) g_error_free(failure);
        return nullptr;
    }
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

}  // namespace

bool SleepInhibitor::hold() {
    if (held()) return true;
    std::string error;
    GDBusConnection* bus = open_system_bus(error);
    int fd = -1;
    if (bus) {
        GError* failure = nullptr;
        GUnixFDList* fds = nullptr;
        GVariant* reply = g_dbus_connection_call_with_unix_fd_list_sync(
            bus, "org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit",
            g_variant_new("(ssss)", "sleep", "Quillon Touch", "Recording or playing", "block"), G_VARIANT_TYPE("(h)"),
            G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &fds, nullptr, &failure);
        if (reply) {
            gint32 index = -1;
            g_variant_get(reply, "(h)", &index);
            if (fds && index >= 0 && index < g_unix_fd_list_get_length(fds))
                fd = g_unix_fd_list_get(fds, index, nullptr);
            g_variant_unref(reply);
        } else {
            error = failure ? failure->message : "no answer";
        }
        if (failure) g_error_free(failure);
        if (fds) g_object_unref(fds);
        g_object_unref(bus);
    }
    if (fd < 0) {
        if (!m_said_unavailable) {
            os::log() << u"sleep inhibitor: none, the device may suspend: " << os::from_utf8(error) << u"\n";
            m_said_unavailable = true;
        }
        return false;
    }
    m_fd = fd;
    os::log() << u"sleep inhibitor: held\n";
    return true;
}

void SleepInhibitor::release() {
    if (!held()) return;
    ::close(m_fd);
    m_fd = -1;
    os::log() << u"sleep inhibitor: released\n";
}
