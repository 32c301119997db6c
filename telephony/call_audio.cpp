#include "telephony/call_audio.h"

#include <gio/gio.h>

#include "os/log.h"
#include "os/text.h"
#include "telephony/bridge/dbus_link.h"

namespace call_audio {

bool enable_speaker(bool on) {
    std::string reason;
    GDBusConnection* bus = bridge_open_bus(false, reason);
    if (!bus) {
        os::log() << u"call audio: no session bus: " << os::from_utf8(reason) << u"\n";
        return false;
    }
    GError* error = nullptr;
    GVariant* reply = g_dbus_connection_call_sync(bus, bus_name, object_path, interface_name, "EnableSpeaker",
                                                  g_variant_new("(b)", on ? TRUE : FALSE), G_VARIANT_TYPE("(b)"),
                                                  G_DBUS_CALL_FLAGS_NONE, 2000, nullptr, &error);
    g_object_unref(bus);
    if (!reply) {
        os::log() << u"call audio: EnableSpeaker failed: " << os::from_utf8(error ? error->message : "?") << u"\n";
        if (error) g_error_free(error);
        return false;
    }
    gboolean success = FALSE;
    g_variant_get(reply, "(b)", &success);
    g_variant_unref(reply);
    os::log() << u"call audio: EnableSpeaker " << (on ? 1 : 0) << u" success=" << (success ? 1 : 0) << u"\n";
    return success != FALSE;
}

}  // namespace call_audio
