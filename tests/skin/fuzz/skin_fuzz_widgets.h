#pragma once
// The widget kinds a fuzzed skin is built with: whatever the global WidgetRegistry already holds
// (the real kinds, once the program's registration has run), and for every type keyword it still
// lacks a stand-in that lays out by the base rules and draws what the kind's main keys ask for
// (text, colour, picture), so layout and drawing see every value a skin can carry.
#include <string_view>

#include "skin/properties.h"

void fill_fuzz_widget_registry();

// Builds the top-level element `id` through the registry, lays it out at the display's size and
// then rotated, and draws it each time. Skin errors (unknown kinds, missing children) end it quietly.
void lay_out_and_draw(const Properties& properties, std::u16string_view id, int32_t width, int32_t height);
