#pragma once
// The phone-state publisher: what a phone's own shell does when calls come and go, written to the
// registry for the simulated phone. quillon-phone is its command line; tests use it directly.
//
// Write order keeps every reader safe: a call's details are in place before "Active Call Count"
// and "Status" announce it, and "Active Call Count" is cleared first when it ends. After each
// change of "Status" the stored state notifications are honoured (notification_service.h).
//
// Besides the connected bit the publisher keeps two bits of its own in "Status": 0x00010000 while
// an incoming call rings and 0x00020000 while an outgoing call is dialled.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "telephony/launch_trigger_runner.h"

inline constexpr uint32_t status_ringing = 0x00010000;
inline constexpr uint32_t status_dialling = 0x00020000;

struct PublishedCall {
    std::u16string number;
    std::optional<std::u16string> name;  // without one, the contacts give it when the number matches
    bool line_info = true;               // false: the line cannot describe the call
};

struct PublishResult {
    bool ok = false;
    std::string message;  // why it failed
    std::vector<TriggeredLaunch> launches;
};

// A call rings (incoming) or is dialled (outgoing); refused while another call exists.
[[nodiscard]] PublishResult publish_incoming(const PublishedCall& call);
[[nodiscard]] PublishResult publish_dial(const PublishedCall& call);
// The call is connected; refused without a call.
[[nodiscard]] PublishResult publish_answer();
// The call ends; ending when there is none is not an error.
[[nodiscard]] PublishResult publish_hangup();
[[nodiscard]] PublishResult publish_speaker(bool on);

// The published state as JSON (one object).
std::string phone_status_json();
