#include "telephony/simulated_phone.h"

#include "os/registry.h"
#include "telephony/bridge/line_publisher.h"
#include "telephony/call_audio.h"
#include "telephony/launch_trigger_store.h"
#include "telephony/phone_state.h"

namespace {

// Line strings are kept whole here; the caller cuts them to its buffers.
std::u16string read_line_text(std::u16string_view name) {
    std::u16string value;
    return os::reg_read_string(simulated_phone::line_key, name, value) ? value : std::u16string();
}

}  // namespace

bool SimulatedPhone::first_line_call(LineCall& out) {
    using namespace simulated_phone;
    uint32_t readable = 0;
    if (!os::reg_read_dword(line_key, u"Line Info", readable) || readable == 0) return false;
    std::u16string line_name;
    if (!os::reg_read_string(line_key, u"Line Name", line_name)) line_name = cellular_line_name;
    if (line_name != cellular_line_name) return false;
    LineCall call;
    if (!os::reg_read_dword(line_key, u"Call State", call.call_state)) return false;
    if (!os::reg_read_dword(line_key, u"Media Mode", call.media_mode)) return false;
    if (!os::reg_read_dword(line_key, u"Origin", call.origin)) return false;
    call.caller_name = read_line_text(u"Caller Name");
    call.caller_number = read_line_text(u"Caller Number");
    call.called_name = read_line_text(u"Called Name");
    call.called_number = read_line_text(u"Called Number");
    out = std::move(call);
    return true;
}

bool SimulatedPhone::phone_initialize(uint32_t& device_count, uint32_t& api_version) {
    uint32_t count = 1;
    if (!os::reg_read_dword(simulated_phone::phone_key, u"Phone Devices", count)) count = 1;
    m_device_count = count;
    device_count = count;
    api_version = 0x00020000;
    return true;
}

bool SimulatedPhone::phone_set_speaker(uint32_t device, bool on) {
    if (device >= m_device_count) return false;
    // While the phone bridge publishes a real phone's calls, the speaker belongs to the phone's
    // call-audio daemon; without one the switch fails and the recorded state stays as it was.
    if (LinePublisher::bridge_running() && !call_audio::enable_speaker(on)) return false;
    return os::reg_write_dword(phone_state::hardware_key, phone_state::speaker, on ? 1 : 0) &&
           os::reg_flush(phone_state::hardware_key);
}

uint32_t SimulatedPhone::register_notification(const LaunchTrigger& entry) {
    bool existed = false;
    if (!launch_trigger_store::store(entry, existed)) return notification_failed;
    return existed ? notification_already_exists : notification_ok;
}

uint32_t SimulatedPhone::stop_notification(std::u16string_view name) {
    return launch_trigger_store::remove(name) ? notification_ok : 0x80070002;  // not found
}

namespace {
SimulatedPhone g_simulated_phone;
TelephonyPlatform* g_platform = nullptr;
}  // namespace

TelephonyPlatform& telephony_platform() { return g_platform ? *g_platform : g_simulated_phone; }
void set_telephony_platform(TelephonyPlatform* platform) { g_platform = platform; }
