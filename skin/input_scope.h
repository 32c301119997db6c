#pragma once
// Delivers pointer and key input to the interactive widgets of one screen (or of one list row).
// Buttons, lists and edits register with their nearest scope when they are created and leave it
// when they are destroyed, so registration order is creation order.
//
// A press is offered to the registered widgets in that order; every one that is shown, enabled and
// hit receives it and holds the pointer until the release, and the first that handles it ends the
// search. Moves and the release go to the holders. Keys are offered in registration order until
// one handles them; characters go to the widget with the key focus only.
//
// Handlers may rebind, remove or destroy widgets (a dialog closing itself from its click): the
// delivery loops re-check membership after every call and stop when the scope itself is gone.
#include <memory>
#include <vector>

#include "skin/event_sink.h"
#include "skin/key_event.h"

class Widget;

class InputScope {
public:
    InputScope();
    virtual ~InputScope();
    InputScope(const InputScope&) = delete;
    InputScope& operator=(const InputScope&) = delete;

    void add_input_widget(Widget* widget);
    void remove_input_widget(Widget* widget);
    const std::vector<Widget*>& input_widgets() const { return m_widgets; }

    // True when some widget handled the press.
    bool deliver_pointer_down(const PointerEvent& event);
    void deliver_pointer_move(const PointerEvent& event);
    void deliver_pointer_up(const PointerEvent& event);
    // Releases every holder with a cancelled event (the screen stops being the top one).
    void cancel_pointer();
    bool holds_pointer() const { return !m_holders.empty(); }
    bool is_holding(const Widget* widget) const;

    bool deliver_key(const KeyEvent& event);
    bool deliver_char(char16_t character);

    // The widget that receives characters (an edit), or none.
    Widget* focus() const { return m_focus; }
    void set_focus(Widget* widget);

private:
    bool is_registered(const Widget* widget) const;

    std::vector<Widget*> m_widgets;
    std::vector<Widget*> m_holders;
    Widget* m_focus = nullptr;
    std::shared_ptr<bool> m_alive;
};
