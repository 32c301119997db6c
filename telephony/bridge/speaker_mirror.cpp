#include "telephony/bridge/speaker_mirror.h"

#include "os/dbus/bus.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/call_audio.h"
#include "telephony/phone_state.h"

struct SpeakerMirror::State {
    os::dbus::Bus bus;
    os::dbus::SignalSubscription subscription;
    os::dbus::NameWatch watch;

    void publish(const os::dbus::Value& value) {
        const auto speaker = dbus_values::uint32(value, "callaudiod SpeakerState");
        if (!speaker) return;
        os::reg_write_dword(phone_state::hardware_key, phone_state::speaker,
                            *speaker == call_audio::speaker_on ? 1 : 0);
        os::reg_flush(phone_state::hardware_key);
    }

    void on_appeared() {
        os::log() << u"bridge: callaudiod found on the session bus\n";
        std::string error;
        const os::dbus::Value reply = os::dbus::call(
            bus, {call_audio::bus_name, call_audio::object_path, "org.freedesktop.DBus.Properties", "Get"},
            os::dbus::Args().text(call_audio::interface_name).text("SpeakerState"), "(v)", 2000, error);
        if (!reply.is_valid()) {
            os::log() << u"bridge: callaudiod SpeakerState: " << os::from_utf8(error) << u"\n";
            return;
        }
        publish(reply.child(0));
    }

    void on_properties(const os::dbus::Value& parameters) {
        if (!parameters.is("(sa{sv}as)")) return;
        if (parameters.child(0).string() == call_audio::interface_name) {
            if (const os::dbus::Value value = dbus_values::lookup(parameters.child(1), "SpeakerState");
                value.is_valid()) {
                publish(value);
            }
        }
    }
};

SpeakerMirror::SpeakerMirror() : m_state(std::make_unique<State>()) {
    std::string error;
    // GLib's autolaunch is allowed here, as the bridge always has: where no address is set, it may
    // find the display's session bus.
    os::dbus::OpenOptions options;
    options.allow_autolaunch = true;
    m_state->bus = os::dbus::Bus::open(os::dbus::BusKind::session, error, options);
    if (!m_state->bus.is_valid()) {
        os::log() << u"bridge: no session bus, the speaker state is not followed: " << os::from_utf8(error) << u"\n";
        return;
    }
    State* state = m_state.get();
    os::dbus::SignalMatch match;
    match.sender = call_audio::bus_name;
    match.interface = "org.freedesktop.DBus.Properties";
    match.member = "PropertiesChanged";
    match.path = call_audio::object_path;
    state->subscription = os::dbus::SignalSubscription(
        state->bus, match, [state](const os::dbus::Signal& signal) { state->on_properties(signal.parameters); });
    state->watch = os::dbus::NameWatch(
        state->bus, call_audio::bus_name, [state] { state->on_appeared(); }, [] {});
}

SpeakerMirror::~SpeakerMirror() {
    if (!m_state->bus.is_valid()) return;
    m_state->watch.reset();
    m_state->subscription.reset();
    m_state->bus.reset();
}
