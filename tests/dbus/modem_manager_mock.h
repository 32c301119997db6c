#pragma once
// dbusmock as ModemManager with one voice modem, driven as the real one announces calls: a call
// object appears, the modem says CallAdded, the call's State changes (PropertiesChanged and
// StateChanged), the modem says CallDeleted.
#include <string>
#include <vector>

#include "tests/dbus/private_bus.h"

namespace bus_test {

// ModemManager's call states and directions.
inline constexpr int mm_dialing = 1, mm_ringing_out = 2, mm_ringing_in = 3, mm_active = 4, mm_held = 5, mm_waiting = 6,
                     mm_terminated = 7;
inline constexpr int mm_incoming = 1, mm_outgoing = 2;

class ModemManagerMock {
public:
    static constexpr const char* name = "org.freedesktop.ModemManager1";
    static constexpr const char* root = "/org/freedesktop/ModemManager1";
    static constexpr const char* modem = "/org/freedesktop/ModemManager1/Modem/0";

    // listed_calls: the object paths the modem's "Calls" property names from the start.
    ModemManagerMock(const std::string& log_path, const std::vector<std::string>& listed_calls = {})
        : m_service(name, {"--system", "-m", name, root, name}, log_path) {
        std::string calls = "@ao [";
        for (size_t i = 0; i < listed_calls.size(); ++i) calls += (i ? ", '" : "'") + listed_calls[i] + "'";
        calls += "]";
        m_ok = m_service.ok() &&
               mock(name, root, "AddObject",
                    std::string("('") + modem + "', 'org.freedesktop.ModemManager1.Modem.Voice', {'Calls': <" + calls +
                        ">}, @a(ssss) [])");
    }
    bool ok() const { return m_ok; }
    void stop() { m_service.stop(); }

    static std::string call_path(int id) { return std::string(root) + "/Call/" + std::to_string(id); }

    bool add_call(int id, int state, int direction, const std::string& number) {
        return mock(name, root, "AddObject",
                    "('" + call_path(id) + "', 'org.freedesktop.ModemManager1.Call', {'State': <int32 " +
                        std::to_string(state) + ">, 'StateReason': <int32 0>, 'Direction': <int32 " +
                        std::to_string(direction) + ">, 'Number': <'" + number + "'>}, @a(ssss) [])") &&
               mock(name, modem, "EmitSignal",
                    "('org.freedesktop.ModemManager1.Modem.Voice', 'CallAdded', 'o', [<objectpath '" + call_path(id) +
                        "'>])");
    }
    static bool set_state(int id, int old_state, int new_state) {
        return mock(name, call_path(id), "UpdateProperties",
                    "('org.freedesktop.ModemManager1.Call', {'State': <int32 " + std::to_string(new_state) + ">})") &&
               mock(name, call_path(id), "EmitSignal",
                    "('org.freedesktop.ModemManager1.Call', 'StateChanged', 'iiu', [<int32 " +
                        std::to_string(old_state) + ">, <int32 " + std::to_string(new_state) + ">, <uint32 0>])");
    }
    static bool delete_call(int id) {
        return mock(name, modem, "EmitSignal",
                    "('org.freedesktop.ModemManager1.Modem.Voice', 'CallDeleted', 'o', [<objectpath '" + call_path(id) +
                        "'>])") &&
               mock(name, root, "RemoveObject", "('" + call_path(id) + "',)");
    }

private:
    MockService m_service;
    bool m_ok = false;
};

}  // namespace bus_test
