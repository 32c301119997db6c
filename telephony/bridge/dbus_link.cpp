#include "telephony/bridge/dbus_link.h"

#include "os/log.h"
#include "os/text.h"

os::dbus::Value bridge_call_sync(const os::dbus::Bus& bus, const char* name, const char* path, const char* interface,
                                 const char* method, const os::dbus::Args& args, const char* reply_type) {
    std::string error;
    os::dbus::Value reply = os::dbus::call(bus, {name, path, interface, method}, args, reply_type, 3000, error);
    if (!reply.is_valid()) {
        os::log() << u"bridge: " << os::from_utf8(interface) << u"." << os::from_utf8(method) << u" on "
                  << os::from_utf8(path) << u" failed: " << os::from_utf8(error) << u"\n";
    }
    return reply;
}
