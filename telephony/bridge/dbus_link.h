#pragma once
// Connections and calls as the bridge and the call-audio switch use them. Private to the
// telephony .cpp files; GLib's types are only named here.
#include <string>

typedef struct _GDBusConnection GDBusConnection;
typedef struct _GVariant GVariant;

// A connection of our own to the system (system = true) or session bus: closing it never ends the
// process, as GLib's shared bus connections would, and nothing else in the process holds it. Null
// with the reason in error. The caller unrefs it (g_object_unref).
GDBusConnection* bridge_open_bus(bool system, std::string& error);

// A D-Bus method call that waits for its answer (at most a few seconds); null on failure, logged
// with what was asked. The caller unrefs the result.
GVariant* bridge_call_sync(GDBusConnection* bus, const char* name, const char* path, const char* interface,
                           const char* method, GVariant* parameters, const char* reply_type);
