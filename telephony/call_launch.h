#pragma once
// The launch registration: while automatic call recording is on, the state-notification service
// starts "<program>" call when "Status" under "HKEY_LOCAL_MACHINE\System\State\Phone" gets the
// connected bit, so calls are recorded even when the program is not running. The entry is named
// "Quillon Touch.Call" and outlives the program.
//
// The program is the running one ("%app_full_name%"); QUILLON_TOUCH_PROGRAM names another (tests
// register a stub, or a tool registers quillon-touch on its behalf).
#include <string>
#include <string_view>

inline constexpr std::u16string_view call_launch_name = u"Quillon Touch.Call";

// Enabling: true when the service accepted the entry or already had it. Disabling: true whenever
// the service could be asked, whatever it answered. The document keeps "AutoRecord" in step: it sets
// the flag after an accepted enable and clears it after a done disable, and leaves it otherwise.
bool set_call_launch(bool enabled);

// "\"" + program + "\" call".
std::u16string call_launch_command_line();
