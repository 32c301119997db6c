// oFono: modems listed by its Manager, each with a VoiceCallManager when it can carry calls; each
// call an object below its modem with State, LineIdentification and Name, changed through
// PropertyChanged signals.
#include <gio/gio.h>

#include <algorithm>

#include "os/log.h"
#include "os/text.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/bridge/stack_source.h"

namespace {

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

    void attach(GDBusConnection* bus) override {
        detach();
        m_bus = G_DBUS_CONNECTION(g_object_ref(bus));
        m_subscription =
            g_dbus_connection_signal_subscribe(m_bus, ofono_name, nullptr, nullptr, nullptr, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, &OfonoSource::on_signal, this, nullptr);
        GVariant* reply =
            bridge_call_sync(m_bus, ofono_name, "/", manager_interface, "GetModems", nullptr, "(a(oa{sv}))");
        if (!reply) return;
        GVariant* modems = g_variant_get_child_value(reply, 0);
        GVariantIter iter;
        g_variant_iter_init(&iter, modems);
        const gchar* path = nullptr;
        GVariant* properties = nullptr;
        while (g_variant_iter_next(&iter, "(&o@a{sv})", &path, &properties)) {
            if (has_call_manager(properties)) list_calls(path);
            g_variant_unref(properties);
        }
        g_variant_unref(modems);
        g_variant_unref(reply);
    }

    void detach() override {
        if (!m_bus) return;
        g_dbus_connection_signal_unsubscribe(m_bus, m_subscription);
        g_object_unref(m_bus);
        m_bus = nullptr;
        m_subscription = 0;
    }

private:
    std::string key_of(const std::string& path) const { return std::string(key_prefix()) + path; }

    static bool has_call_manager(GVariant* modem_properties) {
        GVariant* value = dbus_values::lookup(modem_properties, "Interfaces");
        const auto interfaces = dbus_values::strings(value, "oFono modem Interfaces");
        if (value) g_variant_unref(value);
        if (!interfaces) return false;
        return std::find(interfaces->begin(), interfaces->end(), std::string(call_manager_interface)) !=
               interfaces->end();
    }

    static void on_signal(GDBusConnection*, const gchar*, const gchar* path, const gchar* interface,
                          const gchar* member, GVariant* parameters, gpointer user) {
        auto* self = static_cast<OfonoSource*>(user);
        if (self->handle_signal(path, interface, member, parameters)) self->m_sink.changed();
    }

    bool handle_signal(const std::string& path, std::string_view interface, std::string_view member,
                       GVariant* parameters) {
        if (interface == manager_interface && member == "ModemAdded" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sv})"))) {
            const gchar* modem = nullptr;
            GVariant* properties = nullptr;
            g_variant_get(parameters, "(&o@a{sv})", &modem, &properties);
            const bool calls = has_call_manager(properties);
            g_variant_unref(properties);
            return calls && list_calls(modem);
        }
        if (interface == manager_interface && member == "ModemRemoved" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(o)"))) {
            const gchar* modem = nullptr;
            g_variant_get(parameters, "(&o)", &modem);
            return remove_calls_of(modem);
        }
        if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sv)")) && member == "PropertyChanged") {
            os::log() << u"bridge: oFono PropertyChanged of the wrong type on " << os::from_utf8(path) << u"\n";
            return false;
        }
        if (interface == modem_interface && member == "PropertyChanged") {
            const gchar* name = nullptr;
            GVariant* value = nullptr;
            g_variant_get(parameters, "(&sv)", &name, &value);
            bool changed = false;
            if (std::string_view(name) == "Interfaces") {
                const auto interfaces = dbus_values::strings(value, "oFono modem Interfaces");
                if (interfaces) {
                    const bool calls = std::find(interfaces->begin(), interfaces->end(),
                                                 std::string(call_manager_interface)) != interfaces->end();
                    changed = calls ? list_calls(path) : remove_calls_of(path);
                }
            }
            g_variant_unref(value);
            return changed;
        }
        if (interface == call_manager_interface && member == "CallAdded" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sv})"))) {
            const gchar* call = nullptr;
            GVariant* properties = nullptr;
            g_variant_get(parameters, "(&o@a{sv})", &call, &properties);
            const bool changed = add_call(call, properties);
            g_variant_unref(properties);
            return changed;
        }
        if (interface == call_manager_interface && member == "CallRemoved" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(o)"))) {
            const gchar* call = nullptr;
            g_variant_get(parameters, "(&o)", &call);
            return m_sink.table().remove(key_of(call));
        }
        if (interface == call_interface && member == "PropertyChanged") {
            const gchar* name = nullptr;
            GVariant* value = nullptr;
            g_variant_get(parameters, "(&sv)", &name, &value);
            const bool changed = apply_property(path, name, value);
            g_variant_unref(value);
            return changed;
        }
        return false;
    }

    bool list_calls(const std::string& modem) {
        GVariant* reply = bridge_call_sync(m_bus, ofono_name, modem.c_str(), call_manager_interface, "GetCalls",
                                           nullptr, "(a(oa{sv}))");
        if (!reply) return false;
        GVariant* calls = g_variant_get_child_value(reply, 0);
        GVariantIter iter;
        g_variant_iter_init(&iter, calls);
        const gchar* path = nullptr;
        GVariant* properties = nullptr;
        bool changed = false;
        while (g_variant_iter_next(&iter, "(&o@a{sv})", &path, &properties)) {
            changed = add_call(path, properties) || changed;
            g_variant_unref(properties);
        }
        g_variant_unref(calls);
        g_variant_unref(reply);
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

    bool add_call(const std::string& path, GVariant* properties) {
        GVariant* state_value = dbus_values::lookup(properties, "State");
        GVariant* number_value = dbus_values::lookup(properties, "LineIdentification");
        GVariant* name_value = dbus_values::lookup(properties, "Name");
        const auto state = dbus_values::text(state_value, "oFono call State");
        const auto number = dbus_values::text(number_value, "oFono call LineIdentification");
        const auto name = dbus_values::text(name_value, "oFono call Name");
        for (GVariant* value : {state_value, number_value, name_value}) {
            if (value) g_variant_unref(value);
        }
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

    bool apply_property(const std::string& path, std::string_view name, GVariant* value) {
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
    GDBusConnection* m_bus = nullptr;
    guint m_subscription = 0;
};

}  // namespace

std::unique_ptr<StackSource> make_ofono_source(StackSink& sink) { return std::make_unique<OfonoSource>(sink); }
