#pragma once
// Calls as the bridge makes them: answered within a few seconds, or logged with what was asked.
#include "os/dbus/bus.h"

// A D-Bus method call that waits for its answer (at most a few seconds); none on failure, logged
// with what was asked. reply_type as for os::dbus::call.
os::dbus::Value bridge_call_sync(const os::dbus::Bus& bus, const char* name, const char* path, const char* interface,
                                 const char* method, const os::dbus::Args& args, const char* reply_type);
