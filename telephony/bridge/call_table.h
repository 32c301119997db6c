#pragma once
// The calls the modem stacks report, kept across a stack's restart, and the phone state they add
// up to.
//
// When a stack leaves the bus its calls are kept but unconfirmed: the modem usually carries the
// call on, and a stack that comes back lists it again under a new object path. A call listed again
// (same stack and number; the direction too when the stack still knows it) keeps its place and is confirmed; whatever
// is still unconfirmed when the bridge's patience runs out is gone.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/bridge/bridge_call.h"

// What the phone state publishes for a set of calls.
struct LineSnapshot {
    uint32_t call_count = 0;
    bool connected = false;  // at least one call is active or held
    bool ringing = false;
    bool dialling = false;
    // The call the line query describes: the party talked to now. That is the active call (the
    // latest to come when a stack briefly reports two), else the first held call in the order the
    // calls came, else the first call. A waiting call taken while another is held is therefore
    // another party for the recorder, and so is a held call resumed.
    std::optional<BridgeCall> first;

    bool operator==(const LineSnapshot& other) const;
};

class CallTable {
public:
    // Adds the call or updates the one with its key. A call unknown by key that matches an
    // unconfirmed call of the same stack (same number, same direction unless unknown now) takes that call's place.
    // Numbers and names are cut to the phone state's bound here.
    void update(BridgeCall call);
    // Sets the phase of a known call; false when the key is unknown.
    bool set_phase(std::string_view key, BridgeCallPhase phase);
    bool set_number(std::string_view key, std::u16string_view number);
    bool set_name(std::string_view key, std::u16string_view name);
    // Removes the call; false when the key is unknown.
    bool remove(std::string_view key);
    // Every call whose key begins with the stack's prefix is kept unconfirmed.
    void unconfirm(std::string_view stack_prefix);
    // Removes the stack's unconfirmed calls; the count removed.
    size_t drop_unconfirmed(std::string_view stack_prefix);
    bool has_unconfirmed(std::string_view stack_prefix) const;

    const BridgeCall* find(std::string_view key) const;
    const std::vector<BridgeCall>& calls() const { return m_calls; }
    LineSnapshot snapshot() const;

private:
    std::vector<BridgeCall> m_calls;  // in the order they came
    uint64_t m_next_order = 1;
};
