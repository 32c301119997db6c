#include "skin/text_input_host.h"

namespace {
// GUI thread only, like every widget.
TextInputHost* g_host = nullptr;
Widget* g_edited = nullptr;
}  // namespace

void set_text_input_host(TextInputHost* host) { g_host = host; }
TextInputHost* text_input_host() { return g_host; }
Widget* edited_widget() { return g_edited; }

void set_edited_widget(Widget* widget) {
    if (widget == g_edited) return;
    g_edited = widget;
    if (g_host) g_host->set_edit_widget(widget, true);
}
