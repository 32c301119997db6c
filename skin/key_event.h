#pragma once
// The program's own key codes (0 to 64) and the key event that carries them from the window to the
// screens. The window translates platform keys into these; "bind_key" in a skin names them.
#include <cstdint>
#include <string_view>

namespace key {
constexpr int32_t None = 0;
constexpr int32_t Shift = 1;
constexpr int32_t Ctrl = 2;
constexpr int32_t Alt = 3;
constexpr int32_t Left = 4;
constexpr int32_t Right = 5;
constexpr int32_t Up = 6;
constexpr int32_t Down = 7;
constexpr int32_t Esc = 8;
constexpr int32_t Enter = 9;
constexpr int32_t Space = 10;
constexpr int32_t Backspace = 11;
constexpr int32_t Del = 12;
constexpr int32_t Insert = 13;
constexpr int32_t Home = 14;
constexpr int32_t End = 15;
constexpr int32_t PageDown = 16;
constexpr int32_t PageUp = 17;
constexpr int32_t Tab = 18;
constexpr int32_t ContextMenu = 19;
constexpr int32_t A = 20;       // "A".."Z" are 20..45
constexpr int32_t Digit0 = 46;  // "0".."9" are 46..55
constexpr int32_t Star = 56;
constexpr int32_t Hash = 57;
constexpr int32_t CallMake = 58;
constexpr int32_t CallEnd = 59;
constexpr int32_t Slide = 60;
constexpr int32_t SoftLeft = 61;
constexpr int32_t SoftRight = 62;
constexpr int32_t VolumeUp = 63;
constexpr int32_t VolumeDown = 64;
constexpr int32_t Count = 65;

constexpr int32_t letter(char upper) { return A + (upper - 'A'); }
constexpr int32_t digit(int value) { return Digit0 + value; }
}  // namespace key

struct KeyEvent {
    int32_t code = key::None;
    // True for a key going down (or repeating), false for its release.
    bool pressed = false;
    // False only for an auto-repeated key down.
    bool fresh = true;
    // A Ctrl key was held when the key went down (Ctrl+A selects a whole text).
    bool ctrl = false;
};

// The name of a code as the log and the skins spell it ("SOFT_LEFT"); "None" outside 0..64.
std::u16string_view key_name(int32_t code);
// The code of an exactly spelled name; key::None for anything else (names are case-sensitive).
int32_t key_code_from_name(std::u16string_view name);
