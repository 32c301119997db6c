#pragma once
// A fuzzed skin built into widgets as a screen would be: through the global WidgetRegistry, so
// every kind registered there (the standard kinds and any added later) is laid out and drawn.
#include <string_view>

#include "skin/properties.h"

// Builds the top-level element `id` through the registry, lays it out at the display's size and
// then rotated, and draws it each time. Skin errors (unknown kinds, missing children) end it quietly.
void lay_out_and_draw(const Properties& properties, std::u16string_view id, int32_t width, int32_t height);
