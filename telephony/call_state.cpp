#include "telephony/call_state.h"

#include "os/log.h"
#include "telephony/phone_state.h"
#include "telephony/telephony_platform.h"

int line_current_call(TelephonyPlatform& platform, std::u16string& name, std::u16string& number) {
    LineCall call;
    if (!platform.first_line_call(call)) return 0;
    if (call.call_state != line_call_state_connected) return 0;
    if (call.media_mode != line_media_interactive_voice && call.media_mode != line_media_automated_voice) return 0;
    switch (call.origin) {
        case line_origin_outbound:
            name = phone_state::bounded_text(call.called_name);
            number = phone_state::bounded_text(call.called_number);
            return call_direction_outgoing;
        case line_origin_internal:
        case line_origin_external:
        case line_origin_inbound:
            name = phone_state::bounded_text(call.caller_name);
            number = phone_state::bounded_text(call.caller_number);
            return call_direction_incoming;
        default:
            return 0;
    }
}

bool is_talking() {
    using namespace phone_state;
    if (read_dword(phone_key, active_call_count) == 0) return false;
    if ((read_dword(phone_key, status) & status_connected) == 0) return false;
    // What a bridge that is gone left behind is no call.
    return !publisher_gone();
}

bool is_speaker_on() { return phone_state::read_dword(phone_state::hardware_key, phone_state::speaker) != 0; }

CallDirection query_call_state(std::u16string& name, std::u16string& number) {
    return query_call_state(telephony_platform(), name, number);
}

CallDirection query_call_state(TelephonyPlatform& platform, std::u16string& name, std::u16string& number) {
    using namespace phone_state;
    if (!is_talking()) return call_direction_none;
    // A registry value that is there wins; an empty one leaves what the caller already knew.
    if (std::u16string value = read_text(phone_key, caller_number); !value.empty()) number = std::move(value);
    if (std::u16string value = read_text(phone_key, caller_name); !value.empty()) name = std::move(value);
    name = bounded_text(name);
    number = bounded_text(number);
    std::u16string line_name;
    std::u16string line_number;
    const int answer = line_current_call(platform, line_name, line_number);
    os::log() << u"TAPI ret=" << answer << u"\n";
    if (!line_name.empty() && name.empty()) name = line_name;
    if (!line_number.empty() && number.empty()) number = line_number;
    return answer != 0 ? answer : call_direction_unknown;
}
