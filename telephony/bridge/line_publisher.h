#pragma once
// Writes a LineSnapshot where the simulated phone keeps its state (simulated_phone.h,
// phone_state.h), so the call monitor, the document and the launch registration read a real phone
// exactly as they read the simulated one.
//
// The order of the writes keeps every reader safe, as the simulated publisher's does: a call's
// details are in place before "Active Call Count" and "Status" announce it, and the count is
// cleared first when the last call ends. Every change of "Status" lets the state notifications
// fire (the launch on call). A caller the network does not name is named from the contacts.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "telephony/bridge/call_table.h"
#include "telephony/launch_trigger_runner.h"

class LinePublisher {
public:
    // Writes what differs from the last snapshot written; the notifications that fired.
    std::vector<TriggeredLaunch> publish(const LineSnapshot& snapshot);
    // Forgets what was written, so the next publish writes everything.
    void invalidate() { m_last.reset(); }
    // The name a call is published with: the matching contact's, else the network's.
    std::u16string name_for(const BridgeCall& call);

    // Marks the phone state as the bridge's while it runs: the speaker then goes through the
    // phone's call-audio daemon instead of the simulated switch.
    static void set_bridge_running(bool running);
    static bool bridge_running();
    // Tells the readers of the phone state that the bridge still runs (phone_state.h's heartbeat);
    // false when the registry would not take it.
    static bool beat();

private:
    std::optional<LineSnapshot> m_last;
    std::map<std::u16string, std::u16string> m_contact_names;
};
