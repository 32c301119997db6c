// ModemManager: modems under its object manager, each with a Modem.Voice interface whose calls are
// objects of their own (State, StateReason, Direction, Number).
#include <map>
#include <set>

#include "os/log.h"
#include "os/text.h"
#include "telephony/bridge/dbus_link.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/bridge/stack_source.h"

namespace {

using os::dbus::Value;

constexpr const char* mm_name = "org.freedesktop.ModemManager1";
constexpr const char* mm_path = "/org/freedesktop/ModemManager1";
constexpr const char* voice_interface = "org.freedesktop.ModemManager1.Modem.Voice";
constexpr const char* call_interface = "org.freedesktop.ModemManager1.Call";

// ModemManager's call states and directions.
enum : int32_t {
    mm_state_unknown = 0,
    mm_state_dialing = 1,
    mm_state_ringing_out = 2,
    mm_state_ringing_in = 3,
    mm_state_active = 4,
    mm_state_held = 5,
    mm_state_waiting = 6,
    mm_state_terminated = 7,
};

std::optional<BridgeCallPhase> phase_of(int32_t state) {
    switch (state) {
        case mm_state_dialing:
        case mm_state_ringing_out:
            return BridgeCallPhase::dialling;
        case mm_state_ringing_in:
        case mm_state_waiting:
            return BridgeCallPhase::ringing;
        case mm_state_active:
            return BridgeCallPhase::active;
        case mm_state_held:
            return BridgeCallPhase::held;
        default:
            return std::nullopt;
    }
}

BridgeCallDirection direction_of(int32_t direction) {
    if (direction == 1) return BridgeCallDirection::incoming;
    if (direction == 2) return BridgeCallDirection::outgoing;
    return BridgeCallDirection::unknown;
}

class ModemManagerSource final : public StackSource {
public:
    explicit ModemManagerSource(StackSink& sink) : m_sink(sink) {}
    ~ModemManagerSource() override { detach(); }

    const char* bus_name() const override { return mm_name; }
    const char* label() const override { return "ModemManager"; }
    std::string_view key_prefix() const override { return "mm:"; }

    void attach(const os::dbus::Bus& bus) override {
        detach();
        m_bus = bus;
        os::dbus::SignalMatch match;
        match.sender = mm_name;
        m_subscription = os::dbus::SignalSubscription(m_bus, match, [this](const os::dbus::Signal& signal) {
            if (handle_signal(signal.path, signal.interface, signal.member, signal.parameters)) m_sink.changed();
        });
        const Value objects = bridge_call_sync(m_bus, mm_name, mm_path, "org.freedesktop.DBus.ObjectManager",
                                               "GetManagedObjects", {}, "(a{oa{sa{sv}}})");
        if (!objects.is_valid()) return;
        const Value dictionary = objects.child(0);
        for (size_t i = 0; i < dictionary.size(); ++i) {
            const Value entry = dictionary.child(i);
            interfaces_added(entry.child(0).string().value_or(""), entry.child(1));
        }
    }

    void detach() override {
        if (!m_bus.is_valid()) return;
        m_subscription.reset();
        m_bus.reset();
        m_modem_calls.clear();
    }

private:
    std::string key_of(const std::string& path) const { return std::string(key_prefix()) + path; }

    bool handle_signal(const std::string& path, std::string_view interface, std::string_view member,
                       const Value& parameters) {
        if (interface == "org.freedesktop.DBus.ObjectManager" && member == "InterfacesAdded" &&
            parameters.is("(oa{sa{sv}})")) {
            interfaces_added(parameters.child(0).string().value_or(""), parameters.child(1));
            return true;
        }
        if (interface == "org.freedesktop.DBus.ObjectManager" && member == "InterfacesRemoved" &&
            parameters.is("(oas)")) {
            const std::string object = parameters.child(0).string().value_or("");
            const auto removed = dbus_values::strings(parameters.child(1), "InterfacesRemoved");
            bool changed = false;
            for (const std::string& name : removed.value_or(std::vector<std::string>{})) {
                if (name == voice_interface) changed = modem_gone(object) || changed;
                if (name == call_interface) changed = m_sink.table().remove(key_of(object)) || changed;
            }
            return changed;
        }
        if (interface == voice_interface && (member == "CallAdded" || member == "CallDeleted")) {
            if (!parameters.is("(o)")) {
                os::log() << u"bridge: ModemManager " << os::from_utf8(std::string(member))
                          << u" without a call path\n";
                return false;
            }
            const std::string call = parameters.child(0).string().value_or("");
            if (member == "CallAdded") {
                m_modem_calls[path].insert(call);
                return fetch_call(call);
            }
            m_modem_calls[path].erase(call);
            return m_sink.table().remove(key_of(call));
        }
        if (interface == call_interface && member == "StateChanged") {
            if (!parameters.is("(iiu)")) {
                os::log() << u"bridge: ModemManager StateChanged of the wrong type\n";
                return false;
            }
            const int32_t old_state = parameters.child(0).int32().value_or(0);
            const int32_t new_state = parameters.child(1).int32().value_or(0);
            const uint32_t reason = parameters.child(2).uint32().value_or(0);
            os::log() << u"bridge: ModemManager call " << os::from_utf8(path) << u" state " << old_state << u" -> "
                      << new_state << u" reason " << reason << u"\n";
            return apply_state(path, new_state);
        }
        if (interface == "org.freedesktop.DBus.Properties" && member == "PropertiesChanged" &&
            parameters.is("(sa{sv}as)")) {
            bool changed = false;
            if (parameters.child(0).string() == call_interface) changed = apply_properties(path, parameters.child(1));
            return changed;
        }
        return false;
    }

    void interfaces_added(const std::string& path, const Value& interfaces) {
        if (const Value voice = interfaces.lookup(voice_interface, "a{sv}"); voice.is_valid()) {
            for (const std::string& call : dbus_values::strings(voice.lookup("Calls"), "Modem.Voice Calls")
                                               .value_or(std::vector<std::string>{})) {
                m_modem_calls[path].insert(call);
                fetch_call(call);
            }
        }
        if (const Value call = interfaces.lookup(call_interface, "a{sv}"); call.is_valid()) add_call(path, call);
    }

    bool modem_gone(const std::string& modem) {
        bool changed = false;
        for (const std::string& call : m_modem_calls[modem]) changed = m_sink.table().remove(key_of(call)) || changed;
        m_modem_calls.erase(modem);
        return changed;
    }

    bool fetch_call(const std::string& path) {
        const Value reply = bridge_call_sync(m_bus, mm_name, path.c_str(), "org.freedesktop.DBus.Properties", "GetAll",
                                             os::dbus::Args().text(call_interface), "(a{sv})");
        if (!reply.is_valid()) return false;
        return add_call(path, reply.child(0));
    }

    bool add_call(const std::string& path, const Value& properties) {
        const auto state = dbus_values::int32(dbus_values::lookup(properties, "State"), "ModemManager call State");
        const auto direction =
            dbus_values::int32(dbus_values::lookup(properties, "Direction"), "ModemManager call Direction");
        const auto number = dbus_values::text(dbus_values::lookup(properties, "Number"), "ModemManager call Number");
        BridgeCall call;
        call.key = key_of(path);
        call.direction = direction_of(direction.value_or(0));
        call.number = number.value_or(u"");
        if (state == mm_state_terminated) return m_sink.table().remove(call.key);
        const auto phase = phase_of(state.value_or(mm_state_unknown));
        if (phase) {
            call.phase = *phase;
        } else if (const BridgeCall* known = m_sink.table().find(call.key)) {
            call.phase = known->phase;
        } else {
            call.phase =
                call.direction == BridgeCallDirection::outgoing ? BridgeCallPhase::dialling : BridgeCallPhase::ringing;
        }
        m_sink.table().update(std::move(call));
        return true;
    }

    bool apply_state(const std::string& path, int32_t state) {
        const std::string key = key_of(path);
        if (state == mm_state_terminated) return m_sink.table().remove(key);
        // A call whose addition was missed is read whole.
        if (!m_sink.table().find(key)) return fetch_call(path);
        const auto phase = phase_of(state);
        return phase && m_sink.table().set_phase(key, *phase);
    }

    bool apply_properties(const std::string& path, const Value& properties) {
        const std::string key = key_of(path);
        if (!m_sink.table().find(key)) return fetch_call(path);
        bool changed = false;
        if (const Value value = dbus_values::lookup(properties, "State"); value.is_valid()) {
            if (const auto state = dbus_values::int32(value, "ModemManager call State")) {
                changed = apply_state(path, *state);
            }
        }
        if (const Value value = dbus_values::lookup(properties, "Number"); value.is_valid()) {
            if (const auto number = dbus_values::text(value, "ModemManager call Number")) {
                changed = m_sink.table().set_number(key, *number) || changed;
            }
        }
        return changed;
    }

    StackSink& m_sink;
    os::dbus::Bus m_bus;
    os::dbus::SignalSubscription m_subscription;
    std::map<std::string, std::set<std::string>> m_modem_calls;
};

}  // namespace

std::unique_ptr<StackSource> make_modem_manager_source(StackSink& sink) {
    return std::make_unique<ModemManagerSource>(sink);
}
