#include "os/dbus/session_bus.h"

#include <gio/gio.h>

#include "os/text.h"

namespace os {

GDBusConnection* open_session_bus(std::u16string& why) {
    GError* error = nullptr;
    gchar* address = g_dbus_address_get_for_bus_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    if (address && g_str_has_prefix(address, "autolaunch:")) {
        g_free(address);
        address = nullptr;
    }
    GDBusConnection* bus = nullptr;
    if (address) {
        bus = g_dbus_connection_new_for_address_sync(
            address,
            static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                              G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
            nullptr, nullptr, &error);
        g_free(address);
    }
    if (!bus) {
        why = from_utf8(error ? error->message : "none");
        if (error) g_error_free(error);
        return nullptr;
    }
    if (error) g_error_free(error);
    g_dbus_connection_set_exit_on_close(bus, FALSE);
    return bus;
}

}  // namespace os
