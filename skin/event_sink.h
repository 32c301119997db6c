#pragma once
// What a screen hears from the widgets it attached: activations and press changes from buttons
// and lists (sent to the widget's controller) and size changes (sent to its geometry sink).
#include <cstdint>

#include "skin/geometry.h"

class Widget;

// A pointer event in screen coordinates. `cancel` is set when the press is withdrawn (a disabled
// button, a drag taken over by a list).
struct PointerEvent {
    int32_t x = 0;
    int32_t y = 0;
    bool down = false;
    bool cancel = false;
};

class EventSink {
public:
    virtual ~EventSink() = default;
    virtual void on_click(Widget* /*widget*/, const PointerEvent& /*event*/) {}
    virtual void on_press_changed(Widget* /*widget*/, const PointerEvent& /*event*/) {}
    virtual void on_drag(Widget* /*widget*/, const PointerEvent& /*event*/, Point /*delta*/) {}
    virtual void on_width_changed(Widget* /*widget*/, int32_t /*width*/) {}
    virtual void on_height_changed(Widget* /*widget*/, int32_t /*height*/) {}
    // An edit's text was changed by the user.
    virtual void on_text_changed(Widget* /*widget*/) {}
};
