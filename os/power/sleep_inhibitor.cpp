#include "os/power/sleep_inhibitor.h"

#include <unistd.h>

#include "os/dbus/bus.h"
#include "os/log.h"
#include "os/text.h"

bool SleepInhibitor::hold() {
    if (held()) return true;
    std::string error;
    // A connection of its own, closed right after the call: the lock lives in the descriptor logind
    // hands back, not in the connection.
    const os::dbus::Bus bus = os::dbus::Bus::open(os::dbus::BusKind::system, error);
    int fd = -1;
    if (bus.is_valid()) {
        fd = os::dbus::call_for_descriptor(
            bus, {"org.freedesktop.login1", "/org/freedesktop/login1", "org.freedesktop.login1.Manager", "Inhibit"},
            os::dbus::Args().text("sleep").text("Quillon Touch").text("Recording or playing").text("block"), 3000,
            error);
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
