#pragma once
// A widget with numbered states ("checkbox"; code uses it as StatesWidget): one child "#state_N"
// per state, of which only the current one is shown and carries the text. A click on the current
// state's child goes to the controller when there is one; otherwise the state moves on by one.
#include <vector>

#include "skin/widget.h"

class CheckboxWidget : public Widget, public EventSink {
public:
    using Widget::Widget;

    // Throws NodeNotFound for a missing "#state_N".
    void load(const Properties& properties, SkinElement element) override;
    void set_text(std::u16string_view text) override;
    void on_click(Widget* widget, const PointerEvent& event) override;

    int32_t state_count() const { return static_cast<int32_t>(m_states.size()); }
    int32_t state() const { return m_state; }
    // Out-of-range states are taken modulo the count.
    void set_state(int32_t state);

private:
    void show_state();

    std::vector<Widget*> m_states;
    int32_t m_state = 0;
    std::u16string m_label;
};

using StatesWidget = CheckboxWidget;
