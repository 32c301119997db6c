#include "telephony/call_audio.h"

#include "os/dbus/bus.h"
#include "os/log.h"
#include "os/text.h"

namespace call_audio {

bool enable_speaker(bool on) {
    std::string reason;
    // As the bridge: where no address is set, GLib's autolaunch may find the display's session bus.
    os::dbus::OpenOptions options;
    options.allow_autolaunch = true;
    const os::dbus::Bus bus = os::dbus::Bus::open(os::dbus::BusKind::session, reason, options);
    if (!bus.is_valid()) {
        os::log() << u"call audio: no session bus: " << os::from_utf8(reason) << u"\n";
        return false;
    }
    std::string error;
    const os::dbus::Value reply = os::dbus::call(bus, {bus_name, object_path, interface_name, "EnableSpeaker"},
                                                 os::dbus::Args().boolean(on), "(b)", 2000, error);
    if (!reply.is_valid()) {
        os::log() << u"call audio: EnableSpeaker failed: " << os::from_utf8(error) << u"\n";
        return false;
    }
    const bool success = reply.child(0).boolean().value_or(false);
    os::log() << u"call audio: EnableSpeaker " << (on ? 1 : 0) << u" success=" << (success ? 1 : 0) << u"\n";
    return success;
}

}  // namespace call_audio
