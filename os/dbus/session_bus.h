#pragma once
// The user's session bus, for the services in os/ that speak GDBus (desktop notifications, media
// controls, the desktop portal's shortcuts). Only their .cpp files include this header, which is
// why it may name GIO's connection type.
#include <string>

typedef struct _GDBusConnection GDBusConnection;

namespace os {

// A connection of its own to the session bus that leaves the process alone when the bus goes away;
// nullptr, with the reason in `why`, when there is none. GLib's "autolaunch:" fallback is refused:
// it starts a bus of its own, on which no desktop service runs.
GDBusConnection* open_session_bus(std::u16string& why);

}  // namespace os
