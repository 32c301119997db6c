#pragma once
// Plays a short sound file to the end before returning, through the same audio output as the
// player. Used for the beeps that frame a recording; a missing file or output is not an error.
#include <string_view>

// False when nothing could be played.
bool play_sound_sync(std::u16string_view path);
