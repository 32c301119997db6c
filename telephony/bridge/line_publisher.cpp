#include "telephony/bridge/line_publisher.h"

#include "os/log.h"
#include "os/registry.h"
#include "os/tick.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/phone_publisher.h"
#include "telephony/phone_state.h"
#include "telephony/simulated_phone.h"
#include "telephony/telephony_platform.h"

namespace {

using namespace phone_state;
using simulated_phone::line_key;

constexpr uint32_t line_call_state_idle = 0x1;
constexpr uint32_t line_call_state_offering = 0x2;
constexpr uint32_t line_call_state_dialing = 0x10;
constexpr std::u16string_view bridge_value = u"Bridge";

uint32_t line_call_state_of(BridgeCallPhase phase) {
    switch (phase) {
        case BridgeCallPhase::ringing:
            return line_call_state_offering;
        case BridgeCallPhase::dialling:
            return line_call_state_dialing;
        // A held call is still the call being recorded: the line describes it as connected, so a
        // recording started while it is held still learns its direction.
        case BridgeCallPhase::active:
        case BridgeCallPhase::held:
            return line_call_state_connected;
    }
    return line_call_state_idle;
}

uint32_t origin_of(BridgeCallDirection direction) {
    switch (direction) {
        case BridgeCallDirection::incoming:
            return line_origin_inbound;
        case BridgeCallDirection::outgoing:
            return line_origin_outbound;
        case BridgeCallDirection::unknown:
            break;
    }
    return 0;  // the line query answers 0 for it, and the call's direction is unknown
}

struct Writer {
    bool ok = true;
    void dword(std::u16string_view key, std::u16string_view name, uint32_t value) {
        ok = os::reg_write_dword(key, name, value) && ok;
    }
    void text(std::u16string_view key, std::u16string_view name, std::u16string_view value) {
        ok = os::reg_write_string(key, name, value) && ok;
    }
};

}  // namespace

std::u16string LinePublisher::name_for(const BridgeCall& call) {
    // The user's own name for a caller beats what the network sends ("WIRELESS CALLER").
    std::u16string contact;
    if (!call.number.empty()) {
        auto cached = m_contact_names.find(call.number);
        if (cached != m_contact_names.end()) {
            contact = cached->second;
        } else {
            ContactsSession session;
            ContactRecord record;
            contact = find_contact_by_phone(session, call.number, record) ? bounded_text(record.name) : u"";
            m_contact_names.emplace(call.number, contact);
        }
    }
    return contact.empty() ? call.name : contact;
}

std::vector<TriggeredLaunch> LinePublisher::publish(const LineSnapshot& snapshot) {
    if (m_last && *m_last == snapshot) return {};
    Writer write;
    const uint32_t old_status = read_dword(phone_key, status);
    uint32_t new_status = old_status & ~(status_connected | status_ringing | status_dialling);
    if (snapshot.connected) new_status |= status_connected;
    if (snapshot.ringing) new_status |= status_ringing;
    if (snapshot.dialling) new_status |= status_dialling;

    if (snapshot.first) {
        const BridgeCall& call = *snapshot.first;
        const bool outgoing = call.direction == BridgeCallDirection::outgoing;
        const std::u16string name = name_for(call);
        write.dword(line_key, u"Line Info", 1);
        write.text(line_key, u"Line Name", simulated_phone::cellular_line_name);
        write.dword(line_key, u"Call State", line_call_state_of(call.phase));
        write.dword(line_key, u"Media Mode", line_media_interactive_voice);
        write.dword(line_key, u"Origin", origin_of(call.direction));
        write.text(line_key, u"Caller Name", outgoing ? u"" : std::u16string_view(name));
        write.text(line_key, u"Caller Number", outgoing ? u"" : std::u16string_view(call.number));
        write.text(line_key, u"Called Name", outgoing ? std::u16string_view(name) : u"");
        write.text(line_key, u"Called Number", outgoing ? std::u16string_view(call.number) : u"");
        write.text(phone_key, caller_number, call.number);
        write.text(phone_key, caller_name, name);
        write.dword(phone_key, active_call, static_cast<uint32_t>(call.order));
        write.dword(phone_key, active_call_count, snapshot.call_count);
    } else {
        write.dword(phone_key, active_call_count, 0);
    }
    write.dword(phone_key, status, new_status);
    write.ok = os::reg_flush(phone_key) && write.ok;
    if (!snapshot.first) {
        // Contacts change between calls; a name is looked up once per call only.
        m_contact_names.clear();
        os::reg_delete_value(phone_key, caller_number);
        os::reg_delete_value(phone_key, caller_name);
        os::reg_delete_value(phone_key, active_call);
        write.dword(line_key, u"Call State", line_call_state_idle);
        for (std::u16string_view value : {u"Caller Name", u"Caller Number", u"Called Name", u"Called Number"}) {
            os::reg_delete_value(line_key, value);
        }
        write.ok = os::reg_flush(line_key) && write.ok;
    }
    if (!write.ok) {
        // Written again on the next change: a reader sees the last state that got through.
        os::log() << u"bridge: the registry refused the phone state\n";
        m_last.reset();
    } else {
        m_last = snapshot;
    }
    return honour_launch_triggers(phone_key, status, old_status, new_status);
}

void LinePublisher::set_bridge_running(bool running) {
    if (running) {
        os::reg_write_dword(simulated_phone::phone_key, bridge_beat, os::tick_count());
        os::reg_write_dword(simulated_phone::phone_key, bridge_value, 1);
    } else {
        os::reg_delete_value(simulated_phone::phone_key, bridge_value);
        os::reg_delete_value(simulated_phone::phone_key, bridge_beat);
    }
    os::reg_flush(simulated_phone::phone_key);
}

bool LinePublisher::beat() {
    return os::reg_write_dword(simulated_phone::phone_key, bridge_beat, os::tick_count()) &&
           os::reg_flush(simulated_phone::phone_key);
}

bool LinePublisher::bridge_running() { return read_dword(simulated_phone::phone_key, bridge_value) != 0; }
