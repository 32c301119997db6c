#pragma once
// The call-state query: whether a call is connected, which way it goes, and who is on the other
// end. It reads the registry first and asks the line only while the registry says a call is
// connected, so a poll without a call costs two registry reads.
#include <string>

#include "telephony/call_direction.h"

class TelephonyPlatform;

// The line's view of the current call (one line session per call): 2 for an outgoing call with the
// called party's name and number, 1 for an incoming one with the caller's, 0 when the line cannot
// say (no session, no "Cellular Line", no call, not connected, not a voice call, another origin).
// Logs nothing; name and number are filled only on a non-zero answer and cut to 255 units.
int line_current_call(TelephonyPlatform& platform, std::u16string& name, std::u16string& number);

// 0 when no call is connected ("Active Call Count" zero or unreadable, or the connected bit of
// "Status" clear); name and number are then left as they were. Otherwise the registry's "Caller
// Name" and "Caller Number" replace them where not empty, the line fills whichever of the two is
// still empty (logs
// "TAPI ret=" and its answer), and the result is the line's answer, or 3 when the line could not
// say. Both texts are at most 255 units.
CallDirection query_call_state(std::u16string& name, std::u16string& number);
CallDirection query_call_state(TelephonyPlatform& platform, std::u16string& name, std::u16string& number);

// Steps one and two of the query alone; false too while the phone state's publisher is gone
// (phone_state.h).
bool is_talking();
// "Speaker" under "HKEY_LOCAL_MACHINE\System\State\Hardware" was read and is non-zero.
bool is_speaker_on();
