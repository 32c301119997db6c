#pragma once
// oFono through dbusmock's own template: modem "/ril_0" with a VoiceCallManager. Calls are objects
// below the root with State, LineIdentification and Name, announced by CallAdded and changed by
// PropertyChanged, as the real oFono does.
#include <string>

#include "tests/dbus/private_bus.h"

namespace bus_test {

class OfonoMock {
public:
    explicit OfonoMock(const std::string& log_path) : m_service("org.ofono", {"--template", "ofono"}, log_path) {}
    bool ok() const { return m_service.ok(); }
    void stop() { m_service.stop(); }
    // state: "incoming" or "waiting".
    bool add_incoming(const std::string& path, const std::string& number, const std::string& name,
                      const std::string& state = "incoming") {
        const std::string properties =
            "{'State': <'" + state + "'>, 'LineIdentification': <'" + number + "'>, 'Name': <'" + name + "'>}";
        return mock("org.ofono", "/", "AddObject",
                    "('" + path + "', 'org.ofono.VoiceCall', " + properties + ", @a(ssss) [])") &&
               mock("org.ofono", "/ril_0", "EmitSignal",
                    "('org.ofono.VoiceCallManager', 'CallAdded', 'oa{sv}', [<objectpath '" + path + "'>, <" +
                        properties + ">])");
    }
    static bool set_state(const std::string& path, const std::string& state) {
        return mock("org.ofono", path, "EmitSignal",
                    "('org.ofono.VoiceCall', 'PropertyChanged', 'sv', [<'State'>, <<'" + state + "'>>])");
    }
    static bool remove(const std::string& path) {
        return mock("org.ofono", "/ril_0", "EmitSignal",
                    "('org.ofono.VoiceCallManager', 'CallRemoved', 'o', [<objectpath '" + path + "'>])");
    }

private:
    MockService m_service;
};

}  // namespace bus_test
