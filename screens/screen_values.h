#pragma once
// Small pieces the recording and playback screens share: bars that take a value, slider thumbs
// that turn a pointer position into a fraction, and the keys both screens answer.
#include <cstdint>
#include <string_view>

#include "screens/menu.h"

struct RecordEntry;

#include "skin/key_event.h"

class Widget;

namespace screens {

// How often a shown recording or playback screen reads the document's running values again
// (elapsed time, level, size) when no other frame comes.
inline constexpr double live_values_seconds = 0.1;

// Sets a progress bar; nothing for a null widget or one of another kind. The bar redraws only
// when its value changes.
void show_value(Widget* bar, double value);
// A slider's bar: its thumb shows whole at every value, 0 and the end included.
void keep_thumb(Widget* bar);
// The fraction of a slider's width left of x, clamped to 0 .. 1; 0 when the slider has no width.
double slider_fraction(const Widget& slider, int32_t x);

// "frmInfo" of a record: rate and bits, and the bit rate for a coded file (PCM shows none).
std::u16string record_format_text(const RecordEntry& record);

// A menu row for a command, drawn by `node` (the menu's own row when empty).
MenuItem menu_item(std::u16string_view command, std::u16string_view node = {});

// A key going down for the first time (auto-repeats excluded unless asked for).
bool is_key_press(const KeyEvent& event, int32_t code, bool repeats = false);
// The keys that leave a screen: Escape (and a phone's Back key) and Backspace; neither screen has a
// text to edit.
bool is_leave_key(const KeyEvent& event);

}  // namespace screens
