#pragma once
// The phone state the platform publishes in the registry, and the few reads the call logic makes.
// Every reader treats a value that is missing or of the wrong type as 0 (or empty): a half-written
// or foreign value must never look like a call.
#include <cstdint>
#include <string>
#include <string_view>

namespace phone_state {

inline constexpr std::u16string_view phone_key = u"HKEY_LOCAL_MACHINE\\System\\State\\Phone";
inline constexpr std::u16string_view hardware_key = u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware";
// The same key without its root, as the state-notification entry names it.
inline constexpr std::u16string_view phone_subkey = u"System\\State\\Phone";

inline constexpr std::u16string_view active_call_count = u"Active Call Count";
inline constexpr std::u16string_view status = u"Status";
inline constexpr std::u16string_view caller_number = u"Caller Number";
inline constexpr std::u16string_view caller_name = u"Caller Name";
inline constexpr std::u16string_view speaker = u"Speaker";

// Bit of "Status" that is set while a call is connected.
inline constexpr uint32_t status_connected = 0x20000000;

// Names and numbers longer than this many UTF-16 units are cut: the line API's 512-byte buffers
// hold 256 units with the terminator, and every consumer (file names, tags) relies on the bound.
inline constexpr size_t text_bound = 255;

// 0 when the value is missing or not a DWORD.
uint32_t read_dword(std::u16string_view key, std::u16string_view name);
// Empty when the value is missing or not a string; cut to text_bound.
std::u16string read_text(std::u16string_view key, std::u16string_view name);

// At most `units` UTF-16 units of text, stopping at an embedded terminator, never ending on half
// of a surrogate pair. Control characters a network may send in a name (line breaks, ESC, the C1
// range) never reach file names, tags or log lines: a line break or tab becomes a space, the
// others are dropped, and spaces at either end are trimmed.
std::u16string bounded_text(std::u16string_view text, size_t units = text_bound);

// The publisher's identity of the call the line describes ("Active Call", a DWORD under the phone
// key): a change of it while a call is connected is a change of the party talked to. 0 when the
// publisher does not say.
inline constexpr std::u16string_view active_call = u"Active Call";
uint32_t read_active_call();

// The phone bridge marks the phone state as its own ("Bridge" under the simulated phone's key) and
// beats ("Bridge Beat", its millisecond tick) every heartbeat_seconds while it runs. A bridge
// silent for longer than publisher_patience_seconds is gone (killed, hung): the calls it published
// are over.
inline constexpr std::u16string_view bridge_beat = u"Bridge Beat";
inline constexpr double heartbeat_seconds = 1.0;
inline constexpr double publisher_patience_seconds = 5.0;
// Seconds since the bridge's last beat; 0 when no bridge publishes (the simulated phone).
double publisher_silence_seconds();
bool publisher_gone();

}  // namespace phone_state
