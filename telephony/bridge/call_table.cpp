#include "telephony/bridge/call_table.h"

#include <algorithm>

#include "telephony/phone_state.h"

bool LineSnapshot::operator==(const LineSnapshot& other) const {
    if (call_count != other.call_count || connected != other.connected || ringing != other.ringing ||
        dialling != other.dialling || first.has_value() != other.first.has_value()) {
        return false;
    }
    if (!first) return true;
    return first->phase == other.first->phase && first->direction == other.first->direction &&
           first->number == other.first->number && first->name == other.first->name &&
           first->order == other.first->order;
}

namespace {

bool same_stack(std::string_view key, std::string_view prefix) { return key.substr(0, prefix.size()) == prefix; }

std::string_view stack_of(std::string_view key) { return key.substr(0, key.find(':') + 1); }

}  // namespace

void CallTable::update(BridgeCall call) {
    call.number = phone_state::bounded_text(call.number);
    call.name = phone_state::bounded_text(call.name);
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) { return c.key == call.key; });
    if (it == m_calls.end()) {
        it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) {
            return !c.confirmed && same_stack(c.key, stack_of(call.key)) && c.number == call.number &&
                   (c.direction == call.direction || call.direction == BridgeCallDirection::unknown);
        });
    }
    if (it == m_calls.end()) {
        call.order = m_next_order++;
        call.confirmed = true;
        m_calls.push_back(std::move(call));
        return;
    }
    // A restarted stack may not know the direction or name it told before; what it no longer
    // says is kept.
    if (call.direction == BridgeCallDirection::unknown) call.direction = it->direction;
    if (call.name.empty()) call.name = it->name;
    call.order = it->order;
    call.confirmed = true;
    *it = std::move(call);
}

bool CallTable::set_phase(std::string_view key, BridgeCallPhase phase) {
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) { return c.key == key; });
    if (it == m_calls.end()) return false;
    it->phase = phase;
    return true;
}

bool CallTable::set_number(std::string_view key, std::u16string_view number) {
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) { return c.key == key; });
    if (it == m_calls.end()) return false;
    it->number = phone_state::bounded_text(number);
    return true;
}

bool CallTable::set_name(std::string_view key, std::u16string_view name) {
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) { return c.key == key; });
    if (it == m_calls.end()) return false;
    it->name = phone_state::bounded_text(name);
    return true;
}

bool CallTable::remove(std::string_view key) {
    return std::erase_if(m_calls, [&](const BridgeCall& c) { return c.key == key; }) > 0;
}

void CallTable::unconfirm(std::string_view stack_prefix) {
    for (BridgeCall& call : m_calls) {
        if (same_stack(call.key, stack_prefix)) call.confirmed = false;
    }
}

size_t CallTable::drop_unconfirmed(std::string_view stack_prefix) {
    return std::erase_if(m_calls, [&](const BridgeCall& c) { return !c.confirmed && same_stack(c.key, stack_prefix); });
}

bool CallTable::has_unconfirmed(std::string_view stack_prefix) const {
    return std::any_of(m_calls.begin(), m_calls.end(),
                       [&](const BridgeCall& c) { return !c.confirmed && same_stack(c.key, stack_prefix); });
}

const BridgeCall* CallTable::find(std::string_view key) const {
    auto it = std::find_if(m_calls.begin(), m_calls.end(), [&](const BridgeCall& c) { return c.key == key; });
    return it == m_calls.end() ? nullptr : &*it;
}

LineSnapshot CallTable::snapshot() const {
    LineSnapshot snapshot;
    snapshot.call_count = static_cast<uint32_t>(m_calls.size());
    for (const BridgeCall& call : m_calls) {
        snapshot.connected = snapshot.connected || call.connected();
        snapshot.ringing = snapshot.ringing || call.phase == BridgeCallPhase::ringing;
        snapshot.dialling = snapshot.dialling || call.phase == BridgeCallPhase::dialling;
        const bool active = call.phase == BridgeCallPhase::active;
        if (!snapshot.first || (active && snapshot.first->phase != BridgeCallPhase::active) ||
            (active && call.order > snapshot.first->order) || (call.connected() && !snapshot.first->connected())) {
            snapshot.first = call;
        }
    }
    return snapshot;
}
