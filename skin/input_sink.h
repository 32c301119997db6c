#pragma once
// Where the application window delivers input, in frame pixels: the screens (through the screen
// manager), the splash ignores it. Every press is followed by exactly one on_pointer_up, cancelled
// when the window lost the pointer (focus or capture gone) before the release.
#include <cstdint>
#include <string_view>

#include "skin/key_event.h"

class InputSink {
public:
    virtual ~InputSink() = default;
    // True when the key was consumed.
    virtual bool on_key(const KeyEvent& /*event*/) { return false; }
    // One character typed, as text.
    virtual void on_text(std::u16string_view /*text*/) {}
    virtual void on_pointer_down(int32_t /*x*/, int32_t /*y*/) {}
    virtual void on_pointer_move(int32_t /*x*/, int32_t /*y*/) {}
    virtual void on_pointer_up(int32_t /*x*/, int32_t /*y*/, bool /*cancelled*/) {}
};
