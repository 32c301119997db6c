#pragma once
// A call as the modem stacks describe it, reduced to what the published phone state needs. Both
// stacks' vocabularies (ModemManager's numbered states, oFono's words) map onto these phases.
#include <cstdint>
#include <string>

enum class BridgeCallPhase {
    ringing,   // an incoming call rings, or waits behind a connected one
    dialling,  // an outgoing call is dialled or rings at the far end
    active,    // connected, the two parties talk
    held,      // connected, put on hold
};

enum class BridgeCallDirection { unknown, incoming, outgoing };

struct BridgeCall {
    // Unique among the calls of one bridge: the stack's name and the call's object path.
    std::string key;
    BridgeCallPhase phase = BridgeCallPhase::ringing;
    BridgeCallDirection direction = BridgeCallDirection::unknown;
    std::u16string number;
    std::u16string name;  // what the network says; may be empty
    // Set by the call table: the order in which calls were first seen.
    uint64_t order = 0;
    // False from the moment its stack left the bus until the stack lists the call again.
    bool confirmed = true;

    bool connected() const { return phase == BridgeCallPhase::active || phase == BridgeCallPhase::held; }
};
