#include "telephony/bridge/dbus_link.h"

#include <gio/gio.h>

#include "os/log.h"
#include "os/text.h"

GDBusConnection* bridge_open_bus(bool system, std::string& error) {
    GError* failure = nullptr;
    gchar* address =
        g_dbus_address_get_for_bus_sync(system ? G_BUS_TYPE_SYSTEM : G_BUS_TYPE_SESSION, nullptr, &failure);
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

GVariant* bridge_call_sync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                           const char* method, GVariant* parameters, const char* reply_type) {
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, name, path, interface, method, parameters,
                                                  reply_type ? G_VARIANT_TYPE(reply_type) : nullptr,
                                                  G_DBUS_CALL_FLAGS_NONE, 3000, nullptr, &error);
    if (!reply) {
        os::log() << u"bridge: " << os::from_utf8(interface) << u"." << os::from_utf8(method) << u" on "
                  << os::from_utf8(path) << u" failed: " << os::from_utf8(error ? error->message : "?") << u"\n";
        if (error) g_error_free(error);
    }
    return reply;
}
