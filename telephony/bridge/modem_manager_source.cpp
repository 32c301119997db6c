// ModemManager: modems under its object manager, each with a Modem.Voice interface whose calls are
// objects of their own (State, StateReason, Direction, Number).
#include <gio/gio.h>

#include <map>
#include <set>

#include "os/log.h"
#include "os/text.h"
#include "telephony/bridge/dbus_values.h"
#include "telephony/bridge/stack_source.h"

namespace {

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

    void attach(GDBusConnection* bus) override {
        detach();
        m_bus = G_DBUS_CONNECTION(g_object_ref(bus));
        m_subscription =
            g_dbus_connection_signal_subscribe(m_bus, mm_name, nullptr, nullptr, nullptr, nullptr,
                                               G_DBUS_SIGNAL_FLAGS_NONE, &ModemManagerSource::on_signal, this, nullptr);
        GVariant* objects = bridge_call_sync(m_bus, mm_name, mm_path, "org.freedesktop.DBus.ObjectManager",
                                             "GetManagedObjects", nullptr, "(a{oa{sa{sv}}})");
        if (!objects) return;
        GVariant* dictionary = g_variant_get_child_value(objects, 0);
        GVariantIter iter;
        g_variant_iter_init(&iter, dictionary);
        const gchar* path = nullptr;
        GVariant* interfaces = nullptr;
        while (g_variant_iter_next(&iter, "{&o@a{sa{sv}}}", &path, &interfaces)) {
            interfaces_added(path, interfaces);
            g_variant_unref(interfaces);
        }
        g_variant_unref(dictionary);
        g_variant_unref(objects);
    }

    void detach() override {
        if (!m_bus) return;
        g_dbus_connection_signal_unsubscribe(m_bus, m_subscription);
        g_object_unref(m_bus);
        m_bus = nullptr;
        m_subscription = 0;
        m_modem_calls.clear();
    }

private:
    std::string key_of(const std::string& path) const { return std::string(key_prefix()) + path; }

    static void on_signal(GDBusConnection*, const gchar*, const gchar* path, const gchar* interface,
                          const gchar* member, GVariant* parameters, gpointer user) {
        auto* self = static_cast<ModemManagerSource*>(user);
        if (self->handle_signal(path, interface, member, parameters)) self->m_sink.changed();
    }

    bool handle_signal(const std::string& path, std::string_view interface, std::string_view member,
                       GVariant* parameters) {
        if (interface == "org.freedesktop.DBus.ObjectManager" && member == "InterfacesAdded" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oa{sa{sv}})"))) {
            const gchar* object = nullptr;
            GVariant* interfaces = nullptr;
            g_variant_get(parameters, "(&o@a{sa{sv}})", &object, &interfaces);
            interfaces_added(object, interfaces);
            g_variant_unref(interfaces);
            return true;
        }
        if (interface == "org.freedesktop.DBus.ObjectManager" && member == "InterfacesRemoved" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(oas)"))) {
            const gchar* object = nullptr;
            GVariant* names = nullptr;
            g_variant_get(parameters, "(&o@as)", &object, &names);
            const auto removed = dbus_values::strings(names, "InterfacesRemoved");
            g_variant_unref(names);
            bool changed = false;
            for (const std::string& name : removed.value_or(std::vector<std::string>{})) {
                if (name == voice_interface) changed = modem_gone(object) || changed;
                if (name == call_interface) changed = m_sink.table().remove(key_of(object)) || changed;
            }
            return changed;
        }
        if (interface == voice_interface && (member == "CallAdded" || member == "CallDeleted")) {
            if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(o)"))) {
                os::log() << u"bridge: ModemManager " << os::from_utf8(std::string(member))
                          << u" without a call path\n";
                return false;
            }
            const gchar* call = nullptr;
            g_variant_get(parameters, "(&o)", &call);
            if (member == "CallAdded") {
                m_modem_calls[path].insert(call);
                return fetch_call(call);
            }
            m_modem_calls[path].erase(call);
            return m_sink.table().remove(key_of(call));
        }
        if (interface == call_interface && member == "StateChanged") {
            if (!g_variant_is_of_type(parameters, G_VARIANT_TYPE("(iiu)"))) {
                os::log() << u"bridge: ModemManager StateChanged of the wrong type\n";
                return false;
            }
            gint32 old_state = 0;
            gint32 new_state = 0;
            guint32 reason = 0;
            g_variant_get(parameters, "(iiu)", &old_state, &new_state, &reason);
            os::log() << u"bridge: ModemManager call " << os::from_utf8(path) << u" state " << old_state << u" -> "
                      << new_state << u" reason " << reason << u"\n";
            return apply_state(path, new_state);
        }
        if (interface == "org.freedesktop.DBus.Properties" && member == "PropertiesChanged" &&
            g_variant_is_of_type(parameters, G_VARIANT_TYPE("(sa{sv}as)"))) {
            const gchar* changed_interface = nullptr;
            GVariant* properties = nullptr;
            g_variant_get(parameters, "(&s@a{sv}@as)", &changed_interface, &properties, nullptr);
            bool changed = false;
            if (std::string_view(changed_interface) == call_interface) changed = apply_properties(path, properties);
            g_variant_unref(properties);
            return changed;
        }
        return false;
    }

    void interfaces_added(const std::string& path, GVariant* interfaces) {
        if (GVariant* voice = g_variant_lookup_value(interfaces, voice_interface, G_VARIANT_TYPE_VARDICT)) {
            GVariant* calls = g_variant_lookup_value(voice, "Calls", nullptr);
            for (const std::string& call :
                 dbus_values::strings(calls, "Modem.Voice Calls").value_or(std::vector<std::string>{})) {
                m_modem_calls[path].insert(call);
                fetch_call(call);
            }
            if (calls) g_variant_unref(calls);
            g_variant_unref(voice);
        }
        if (GVariant* call = g_variant_lookup_value(interfaces, call_interface, G_VARIANT_TYPE_VARDICT)) {
            add_call(path, call);
            g_variant_unref(call);
        }
    }

    bool modem_gone(const std::string& modem) {
        bool changed = false;
        for (const std::string& call : m_modem_calls[modem]) changed = m_sink.table().remove(key_of(call)) || changed;
        m_modem_calls.erase(modem);
        return changed;
    }

    bool fetch_call(const std::string& path) {
        GVariant* reply = bridge_call_sync(m_bus, mm_name, path.c_str(), "org.freedesktop.DBus.Properties", "GetAll",
                                           g_variant_new("(s)", call_interface), "(a{sv})");
        if (!reply) return false;
        GVariant* properties = g_variant_get_child_value(reply, 0);
        const bool changed = add_call(path, properties);
        g_variant_unref(properties);
        g_variant_unref(reply);
        return changed;
    }

    bool add_call(const std::string& path, GVariant* properties) {
        GVariant* state_value = dbus_values::lookup(properties, "State");
        GVariant* direction_value = dbus_values::lookup(properties, "Direction");
        GVariant* number_value = dbus_values::lookup(properties, "Number");
        const auto state = dbus_values::int32(state_value, "ModemManager call State");
        const auto direction = dbus_values::int32(direction_value, "ModemManager call Direction");
        const auto number = dbus_values::text(number_value, "ModemManager call Number");
        for (GVariant* value : {state_value, direction_value, number_value}) {
            if (value) g_variant_unref(value);
        }
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

    bool apply_properties(const std::string& path, GVariant* properties) {
        const std::string key = key_of(path);
        if (!m_sink.table().find(key)) return fetch_call(path);
        bool changed = false;
        if (GVariant* value = dbus_values::lookup(properties, "State")) {
            if (const auto state = dbus_values::int32(value, "ModemManager call State")) {
                changed = apply_state(path, *state);
            }
            g_variant_unref(value);
        }
        if (GVariant* value = dbus_values::lookup(properties, "Number")) {
            if (const auto number = dbus_values::text(value, "ModemManager call Number")) {
                changed = m_sink.table().set_number(key, *number) || changed;
            }
            g_variant_unref(value);
        }
        return changed;
    }

    StackSink& m_sink;
    GDBusConnection* m_bus = nullptr;
    guint m_subscription = 0;
    std::map<std::string, std::set<std::string>> m_modem_calls;
};

}  // namespace

std::unique_ptr<StackSource> make_modem_manager_source(StackSink& sink) {
    return std::make_unique<ModemManagerSource>(sink);
}
