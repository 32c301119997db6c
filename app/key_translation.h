#pragma once
// Platform keys (SDL key codes) to the program's key codes. Escape is Backspace (11), never Esc;
// F1/F2 are the soft keys, F3/F4 the call keys, F6/F7 the volume keys, F8/F9 "*" and "#"; the
// volume, media and back keys that phones and keyboards report map onto the same codes.
#include <cstdint>

int32_t translate_key(int32_t platform_key);
