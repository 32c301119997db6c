#pragma once
// The widget kinds a skin can name by "type", registered in this order: "node", "text",
// "color", "image", "edit", "htable", "vtable", "button", "vlist", "checkbox", "progress",
// "oldtext", "label_edit", "clip", and "waveform" after the fourteen first ones.
#include <string>
#include <vector>

class WidgetRegistry;

const std::vector<std::u16string>& standard_widget_keywords();
// Throws NodeAlreadyRegistered when one of them is registered already.
void register_standard_widgets(WidgetRegistry& registry);
// Removes them again, in the reverse order.
void unregister_standard_widgets(WidgetRegistry& registry);
