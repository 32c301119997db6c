#pragma once
// The phone's call-audio daemon (callaudiod, "org.mobian_project.CallAudio" on the session bus),
// which routes a call's sound to the earpiece or the loudspeaker on Linux phones.
#include <cstdint>
#include <optional>

namespace call_audio {

inline constexpr const char* bus_name = "org.mobian_project.CallAudio";
inline constexpr const char* object_path = "/org/mobian_project/CallAudio";
inline constexpr const char* interface_name = "org.mobian_project.CallAudio";

// "SpeakerState": 0 off, 1 on; anything else is unknown.
inline constexpr uint32_t speaker_on = 1;

// EnableSpeaker(on): true when the daemon was reached and reported success. Logged either way.
bool enable_speaker(bool on);

}  // namespace call_audio
