#pragma once
// The window side of text entry: the edit widget that has the key focus of the top screen is
// handed to the host (the window starts text input and raises the on-screen keyboard there), and
// none when editing ends. The window registers itself as the host; without one nothing happens.
class Widget;

class TextInputHost {
public:
    virtual ~TextInputHost() = default;
    // `widget` is being edited now (none: editing ended). `create` asks for the input to be set up.
    virtual void set_edit_widget(Widget* widget, bool create) = 0;
    // The edited widget moved or changed size.
    virtual void move_edit(Widget* widget) = 0;
};

void set_text_input_host(TextInputHost* host);
TextInputHost* text_input_host();

// The widget being edited, and the one place that changes it (the host hears every change).
Widget* edited_widget();
void set_edited_widget(Widget* widget);
