#pragma once
// The GDBus objects behind os/dbus's types, for the .cpp files that speak GDBus themselves (objects
// exported on the bus, calls answered on their loop). Only .cpp files include this header.
#include <gio/gio.h>

#include "os/dbus/bus.h"

namespace os::dbus {

struct Connection {
    explicit Connection(GDBusConnection* connection) : gio(connection) {}
    ~Connection() { g_object_unref(gio); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    GDBusConnection* const gio;
};

struct ValueData {
    explicit ValueData(GVariant* value) : gio(value) {}
    ~ValueData() { g_variant_unref(gio); }
    ValueData(const ValueData&) = delete;
    ValueData& operator=(const ValueData&) = delete;
    GVariant* const gio;
};

// Null for a bus that is not valid.
inline GDBusConnection* gio_connection(const Bus& bus) { return bus.connection() ? bus.connection()->gio : nullptr; }

// Takes over the reference of a value GDBus handed out (a floating one is sunk); none for null.
Value adopt(GVariant* value);
// Takes a reference of its own to a value borrowed for a callback's time.
Value borrow(GVariant* value);
// The arguments as a floating tuple; null when there are none.
GVariant* to_gio(const Args& args);

}  // namespace os::dbus
