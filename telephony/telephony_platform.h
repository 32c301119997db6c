#pragma once
// The platform's telephony services as the call logic needs them: the line query (what the first
// call of the cellular line is), the phone devices' speaker switch, and the state-notification
// service that starts a program when a registry value meets a condition.
//
// The call logic (query steps, result codes, log lines) lives above this interface; an
// implementation only answers questions. The one built in is the simulated phone that
// quillon-phone drives (simulated_phone.h); a bridge to ModemManager or oFono can take its place.
// All calls come from the GUI thread.
#include <cstdint>
#include <string>
#include <string_view>

#include "telephony/launch_trigger.h"

// The first call of the cellular line, as the line API describes it.
struct LineCall {
    uint32_t call_state = 0;  // 0x100: connected
    uint32_t media_mode = 0;  // 4: interactive voice, 8: automated voice
    uint32_t origin = 0;      // 1: outbound; 2, 4, 128: internal, external, inbound
    std::u16string caller_name;
    std::u16string caller_number;
    std::u16string called_name;
    std::u16string called_number;
};

inline constexpr uint32_t line_call_state_connected = 0x100;
inline constexpr uint32_t line_media_interactive_voice = 4;
inline constexpr uint32_t line_media_automated_voice = 8;
inline constexpr uint32_t line_origin_outbound = 1;
inline constexpr uint32_t line_origin_internal = 2;
inline constexpr uint32_t line_origin_external = 4;
inline constexpr uint32_t line_origin_inbound = 128;

// Results of the notification service.
inline constexpr uint32_t notification_ok = 0;
inline constexpr uint32_t notification_already_exists = 0x800704DA;
inline constexpr uint32_t notification_failed = 0x80004005;

class TelephonyPlatform {
public:
    virtual ~TelephonyPlatform() = default;

    // One line session for the question: false when no session opens, no line is named
    // "Cellular Line", or the line has no call. Strings may be of any length; the caller bounds them.
    virtual bool first_line_call(LineCall& out) = 0;

    // Opens the phone-device session; the service overwrites api_version with its own.
    virtual bool phone_initialize(uint32_t& device_count, uint32_t& api_version) = 0;
    // Negotiates, opens the device with owner privilege, sets its speaker hook switch to speaker
    // (on) or on-hook (off) and closes it. False when any of those steps failed.
    virtual bool phone_set_speaker(uint32_t device, bool on) = 0;
    virtual void phone_shutdown() = 0;

    // The state-notification service: notification_ok, notification_already_exists (the entry is
    // replaced, so a moved program is still found) or another code on failure.
    virtual uint32_t register_notification(const LaunchTrigger& entry) = 0;
    virtual uint32_t stop_notification(std::u16string_view name) = 0;
};

// The process's telephony platform: the simulated phone unless one was installed.
TelephonyPlatform& telephony_platform();
// Tests install their own; nullptr restores the simulated phone. Not owned.
void set_telephony_platform(TelephonyPlatform* platform);
