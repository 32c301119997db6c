#include "telephony/phone_publisher.h"

#include "os/registry.h"
#include "os/text.h"
#include "telephony/call_launch.h"
#include "telephony/contacts/contacts_session.h"
#include "telephony/launch_trigger_store.h"
#include "telephony/phone_state.h"
#include "telephony/simulated_phone.h"
#include "telephony/telephony_platform.h"

namespace {

using namespace phone_state;
using simulated_phone::line_key;

constexpr uint32_t line_call_state_idle = 0x1;
constexpr uint32_t line_call_state_offering = 0x2;
constexpr uint32_t line_call_state_dialing = 0x10;

struct Writer {
    bool ok = true;
    void dword(std::u16string_view key, std::u16string_view name, uint32_t value) {
        ok = os::reg_write_dword(key, name, value) && ok;
    }
    void text(std::u16string_view key, std::u16string_view name, std::u16string_view value) {
        ok = os::reg_write_string(key, name, value) && ok;
    }
};

PublishResult failure(std::string message) {
    PublishResult result;
    result.message = std::move(message);
    return result;
}

// Changes "Status" and lets the notification service look at the change.
bool write_status(uint32_t new_status, PublishResult& result) {
    const uint32_t old_status = read_dword(phone_key, status);
    if (!os::reg_write_dword(phone_key, status, new_status) || !os::reg_flush(phone_key)) return false;
    result.launches = honour_launch_triggers(phone_key, status, old_status, new_status);
    return true;
}

std::u16string name_for(const PublishedCall& call) {
    if (call.name) return bounded_text(*call.name);
    ContactsSession session;
    ContactRecord record;
    return find_contact_by_phone(session, call.number, record) ? record.name : std::u16string();
}

PublishResult publish_call(const PublishedCall& call, bool outgoing) {
    if (read_dword(phone_key, active_call_count) != 0) return failure("a call exists already; hang up first");
    const std::u16string name = name_for(call);
    Writer write;
    write.dword(line_key, u"Line Info", call.line_info ? 1 : 0);
    write.text(line_key, u"Line Name", simulated_phone::cellular_line_name);
    write.dword(line_key, u"Call State", outgoing ? line_call_state_dialing : line_call_state_offering);
    write.dword(line_key, u"Media Mode", line_media_interactive_voice);
    write.dword(line_key, u"Origin", outgoing ? line_origin_outbound : line_origin_inbound);
    write.text(line_key, u"Caller Name", outgoing ? u"" : std::u16string_view(name));
    write.text(line_key, u"Caller Number", outgoing ? u"" : std::u16string_view(call.number));
    write.text(line_key, u"Called Name", outgoing ? std::u16string_view(name) : u"");
    write.text(line_key, u"Called Number", outgoing ? std::u16string_view(call.number) : u"");
    write.text(phone_key, caller_number, call.number);
    // One call at a time: the number tells the parties apart, not an identity another publisher left.
    os::reg_delete_value(phone_key, active_call);
    write.text(phone_key, caller_name, name);
    write.dword(phone_key, active_call_count, 1);
    if (!write.ok) return failure("the registry refused the call");
    PublishResult result;
    const uint32_t bits = read_dword(phone_key, status) & ~(status_connected | status_ringing | status_dialling);
    if (!write_status(bits | (outgoing ? status_dialling : status_ringing), result)) {
        return failure("the registry refused the status");
    }
    result.ok = true;
    return result;
}

}  // namespace

PublishResult publish_incoming(const PublishedCall& call) { return publish_call(call, false); }
PublishResult publish_dial(const PublishedCall& call) { return publish_call(call, true); }

PublishResult publish_answer() {
    if (read_dword(phone_key, active_call_count) == 0) return failure("no call to answer");
    if (!os::reg_write_dword(line_key, u"Call State", line_call_state_connected)) {
        return failure("the registry refused the call");
    }
    PublishResult result;
    const uint32_t bits = read_dword(phone_key, status) & ~(status_ringing | status_dialling);
    if (!write_status(bits | status_connected, result)) return failure("the registry refused the status");
    result.ok = true;
    return result;
}

PublishResult publish_hangup() {
    Writer write;
    write.dword(phone_key, active_call_count, 0);
    if (!write.ok) return failure("the registry refused the call count");
    PublishResult result;
    const uint32_t bits = read_dword(phone_key, status) & ~(status_connected | status_ringing | status_dialling);
    if (!write_status(bits, result)) return failure("the registry refused the status");
    os::reg_delete_value(phone_key, caller_number);
    os::reg_delete_value(phone_key, caller_name);
    write.dword(line_key, u"Call State", line_call_state_idle);
    for (std::u16string_view value : {u"Caller Name", u"Caller Number", u"Called Name", u"Called Number"}) {
        os::reg_delete_value(line_key, value);
    }
    os::reg_flush(line_key);
    result.ok = write.ok;
    if (!result.ok) result.message = "the registry refused the line";
    return result;
}

PublishResult publish_speaker(bool on) {
    if (!os::reg_write_dword(hardware_key, speaker, on ? 1 : 0) || !os::reg_flush(hardware_key)) {
        return failure("the registry refused the speaker");
    }
    PublishResult result;
    result.ok = true;
    return result;
}

namespace {

std::string json_bool(bool value) { return value ? "true" : "false"; }

}  // namespace

std::string phone_status_json() {
    const uint32_t count = read_dword(phone_key, active_call_count);
    const uint32_t bits = read_dword(phone_key, status);
    std::string out = "{";
    out += "\"active_call_count\":" + std::to_string(count);
    out += ",\"status\":" + std::to_string(bits);
    out += ",\"connected\":" + json_bool(count != 0 && (bits & status_connected) != 0);
    out += ",\"ringing\":" + json_bool(count != 0 && (bits & status_ringing) != 0);
    out += ",\"dialling\":" + json_bool(count != 0 && (bits & status_dialling) != 0);
    out += ",\"caller_number\":" + os::json_string(read_text(phone_key, caller_number));
    out += ",\"caller_name\":" + os::json_string(read_text(phone_key, caller_name));
    out += ",\"speaker\":" + json_bool(read_dword(hardware_key, speaker) != 0);
    LineCall line;
    if (count != 0 && telephony_platform().first_line_call(line)) {
        out += ",\"line\":{\"call_state\":" + std::to_string(line.call_state);
        out += ",\"media_mode\":" + std::to_string(line.media_mode);
        out += ",\"origin\":" + std::to_string(line.origin);
        out += ",\"caller_name\":" + os::json_string(line.caller_name);
        out += ",\"caller_number\":" + os::json_string(line.caller_number);
        out += ",\"called_name\":" + os::json_string(line.called_name);
        out += ",\"called_number\":" + os::json_string(line.called_number) + "}";
    } else {
        out += ",\"line\":null";
    }
    const auto launch = launch_trigger_store::find(call_launch_name);
    out += ",\"call_launch\":";
    out += launch ? os::json_string(launch->command_line) : "null";
    return out + "}";
}
