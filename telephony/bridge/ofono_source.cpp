// oFono: modems listed by its Manager, each with a VoiceCallManager when it can carry calls; each
// call an object below its modem with State, LineIdentification and Name, changed through
// PropertyChanged signals.
#include <algorithm>

#include "os/log.h"
#include "os/text.h"
#include "telephony/bridge/dbus_link.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/bridge/stack_source.h"

namespace {

using os::dbus::Value;

constexpr const char* ofono_name = "org.ofono";
constexpr const char* manager_interface = "org.ofono.Manager";
constexpr const char* modem_interface = "org.ofono.Modem";
constexpr const char* call_manager_interface = "org.ofono.VoiceCallManager";
constexpr const char* call_interface = "org.ofono.VoiceCall";

// "disconnected" and anything unknown give no phase.
std::optional<BridgeCallPhase> phase_of(std::u16string_view state) {
    if (state == u"incoming" || state == u"waiting") return BridgeCallPhase::ringing;
    if (state == u"dialing" || state == u"alerting") return BridgeCallPhase::dialling;
    if (state == u"active") return BridgeCallPhase::active;
    if (state == u"held") return BridgeCallPhase::held;
    return std::nullopt;
}

// oFono names no direction; the state a call is first seen in tells it.
BridgeCallDirection direction_of(std::u16string_view state) {
    if (state == u"incoming" || state == u"waiting") return BridgeCallDirection::incoming;
    if (state == u"dialing" || state == u"alerting") return BridgeCallDirection::outgoing;
    return BridgeCallDirection::unknown;
}

class OfonoSource final : public StackSource {
public:
    explicit OfonoSource(StackSink& sink) : m_sink(sink) {}
    ~OfonoSource() override { detach(); }

    const char* bus_name() const override { return ofono_name; }
    const char* label() const override { return "oFono"; }
    std::string_view key_prefix() const override { return "ofono:"; }

    void attach(const os::dbus::Bus& bus) override {
        detach();
        m_bus = bus;
        os::dbus::SignalMatch match;
        match.sender = ofono_name;
        m_subscription = os::dbus::SignalSubscription(m_bus, match, [this](const os::dbus::Signal& signal) {
            if (handle_signal(signal.path, signal.interface, signal.member, signal.parameters)) m_sink.changed();
        });
        const Value reply = bridge_call_sync(m_bus, ofono_name, "/", manager_interface, "GetModems", {}, "(a(oa{sv}))");
        if (!reply.is_valid()) return;
        const Value modems = reply.child(0);
        for (size_t i = 0; i < modems.size(); ++i) {
            const Value modem = modems.child(i);
            if (has_call_manager(modem.child(1))) list_calls(modem.child(0).string().value_or(""));
        }
    }

    void detach() override {
        if (!m_bus.is_valid()) return;
        m_subscription.reset();
        m_bus.reset();
    }

private:
    std::string key_of(const std::string& path) const { return std::string(key_prefix()) + path; }

    static bool has_call_manager(const Value& modem_properties) {
        const auto interfaces =
            dbus_values::strings(dbus_values::lookup(modem_properties, "Interfaces"), "oFono modem Interfaces");
        if (!interfaces) return false;
        return std::find(interfaces->begin(), interfaces->end(), std::string(call_manager_interface)) !=
               interfaces->end();
    }

    bool handle_signal(const std::string& path, std::string_view interface, std::string_view member,
                       const Value& parameters) {
        if (interface == manager_interface && member == "ModemAdded" && parameters.is("(oa{sv})")) {
            const bool calls = has_call_manager(parameters.child(1));
            return calls && list_calls(parameters.child(0).string().value_or(""));
        }
        if (interface == manager_interface && member == "ModemRemoved" && parameters.is("(o)")) {
            return remove_calls_of(parameters.child(0).string().value_or(""));
        }
        if (!parameters.is("(sv)") && member == "PropertyChanged") {
            os::log() << u"bridge: oFono PropertyChanged of the wrong type on " << os::from_utf8(path) << u"\n";
            return false;
        }
        if (interface == modem_interface && member == "PropertyChanged") {
            const std::string name = parameters.child(0).string().value_or("");
            const Value value = parameters.child(1);
            bool changed = false;
            if (name == "Interfaces") {
                const auto interfaces = dbus_values::strings(value, "oFono modem Interfaces");
                if (interfaces) {
                    const bool calls = std::find(interfaces->begin(), interfaces->end(),
                                                 std::string(call_manager_interface)) != interfaces->end();
                    changed = calls ? list_calls(path) : remove_calls_of(path);
                }
            }
            return changed;
        }
        if (interface == call_manager_interface && member == "CallAdded" && parameters.is("(oa{sv})")) {
            return add_call(parameters.child(0).string().value_or(""), parameters.child(1));
        }
        if (interface == call_manager_interface && member == "CallRemoved" && parameters.is("(o)")) {
            return m_sink.table().remove(key_of(parameters.child(0).string().value_or("")));
        }
        if (interface == call_interface && member == "PropertyChanged") {
            return apply_property(path, parameters.child(0).string().value_or(""), parameters.child(1));
        }
        return false;
    }

    bool list_calls(const std::string& modem) {
        const Value reply =
            bridge_call_sync(m_bus, ofono_name, modem.c_str(), call_manager_interface, "GetCalls", {}, "(a(oa{sv}))");
        if (!reply.is_valid()) return false;
        const Value calls = reply.child(0);
        bool changed = false;
        for (size_t i = 0; i < calls.size(); ++i) {
            const Value call = calls.child(i);
            changed = add_call(call.child(0).string().value_or(""), call.child(1)) || changed;
        }
        return changed;
    }

    bool remove_calls_of(const std::string& modem) {
        const std::string prefix = key_of(modem) + "/";
        std::vector<std::string> keys;
        for (const BridgeCall& call : m_sink.table().calls()) {
            if (call.key.rfind(prefix, 0) == 0) keys.push_back(call.key);
        }
        for (const std::string& key : keys) m_sink.table().remove(key);
        return !keys.empty();
    }

    bool add_call(const std::string& path, const Value& properties) {
        const auto state = dbus_values::text(dbus_values::lookup(properties, "State"), "oFono call State");
        const auto number =
            dbus_values::text(dbus_values::lookup(properties, "LineIdentification"), "oFono call LineIdentification");
        const auto name = dbus_values::text(dbus_values::lookup(properties, "Name"), "oFono call Name");
        BridgeCall call;
        call.key = key_of(path);
        const auto phase = phase_of(state.value_or(u""));
        if (!phase) return m_sink.table().remove(call.key);
        call.phase = *phase;
        call.direction = direction_of(*state);
        call.number = withheld(number.value_or(u"")) ? u"" : number.value_or(u"");
        call.name = name.value_or(u"");
        m_sink.table().update(std::move(call));
        return true;
    }

    // oFono says "withheld" where the network gave no number.
    static bool withheld(std::u16string_view number) { return number == u"withheld"; }

    bool apply_property(const std::string& path, std::string_view name, const Value& value) {
        const std::string key = key_of(path);
        if (!m_sink.table().find(key)) return false;
        if (name == "State") {
            const auto state = dbus_values::text(value, "oFono call State");
            if (!state) return false;
            const auto phase = phase_of(*state);
            return phase ? m_sink.table().set_phase(key, *phase) : m_sink.table().remove(key);
        }
        if (name == "LineIdentification") {
            const auto number = dbus_values::text(value, "oFono call LineIdentification");
            return number && m_sink.table().set_number(key, withheld(*number) ? u"" : *number);
        }
        if (name == "Name") {
            const auto text = dbus_values::text(value, "oFono call Name");
            return text && m_sink.table().set_name(key, *text);
        }
        return false;
    }

    StackSink& m_sink;
    os::dbus::Bus m_bus;
    os::dbus::SignalSubscription m_subscription;
};

}  // namespace

std::unique_ptr<StackSource> make_ofono_source(StackSink& sink) { return std::make_unique<OfonoSource>(sink); }
