#pragma once
// The simulated phone: a TelephonyPlatform whose line, phone devices and notification service are
// records in the registry database, written by quillon-phone (phone_publisher.h). Any process that
// opens the same database sees the same phone.
//
// The line record lives under "HKEY_LOCAL_MACHINE\Software\Quillon\Phone\Line": "Line Info"
// (DWORD, non-zero while the line can describe its call), "Line Name" (default "Cellular Line"),
// "Call State", "Media Mode", "Origin" (DWORDs, the line API's codes), "Caller Name", "Caller
// Number", "Called Name", "Called Number" (strings). "Phone Devices" (DWORD, default 1) under
// "HKEY_LOCAL_MACHINE\Software\Quillon\Phone" is the number of phone devices; their speaker
// switch is the value "Speaker" under "System\State\Hardware". While the phone bridge runs
// (bridge/phone_bridge.h) the line record is a real phone's, and the switch goes to the phone's
// call-audio daemon first (call_audio.h).
#include <string_view>

#include "telephony/telephony_platform.h"

namespace simulated_phone {

inline constexpr std::u16string_view phone_key = u"HKEY_LOCAL_MACHINE\\Software\\Quillon\\Phone";
inline constexpr std::u16string_view line_key = u"HKEY_LOCAL_MACHINE\\Software\\Quillon\\Phone\\Line";
inline constexpr std::u16string_view cellular_line_name = u"Cellular Line";

}  // namespace simulated_phone

class SimulatedPhone final : public TelephonyPlatform {
public:
    bool first_line_call(LineCall& out) override;
    bool phone_initialize(uint32_t& device_count, uint32_t& api_version) override;
    bool phone_set_speaker(uint32_t device, bool on) override;
    void phone_shutdown() override {}
    uint32_t register_notification(const LaunchTrigger& entry) override;
    uint32_t stop_notification(std::u16string_view name) override;

private:
    uint32_t m_device_count = 0;
};
