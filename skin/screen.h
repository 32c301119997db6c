#pragma once
// The base of the program's screens: the root of a widget tree bound to a skin element, the
// receiver of its widgets' events, and the input scope that delivers pointer and key input to
// them (input_scope.h). The screen manager sends input only to the top screen.
#include "skin/input_scope.h"
#include "skin/widget.h"

class Screen : public Widget, public EventSink, public InputScope {
public:
    Screen() = default;
    // The widgets go first, while the scope they are registered with still exists.
    ~Screen() override { destroy_children(); }
    InputScope* as_input_scope() override { return this; }
};
