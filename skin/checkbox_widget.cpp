#include "skin/checkbox_widget.h"

#include <algorithm>
#include <string>

#include "skin/skin_exceptions.h"

void CheckboxWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_states.clear();
    // At least one state; a count beyond the children present fails at the first missing one.
    const int32_t count = std::max(1, properties.get_int(element, u"states", 2));
    for (int32_t i = 0; i < count; ++i) {
        std::u16string wanted = u"#state_";
        for (char c : std::to_string(i)) wanted += static_cast<char16_t>(c);
        Widget* found = find_child(wanted);
        if (!found) throw NodeNotFound(id(), wanted);
        found->set_geometry_sink(nullptr);
        found->set_controller(this);
        m_states.push_back(found);
    }
    m_label = properties.translate(properties.get_string(element, u"text", u""));
    m_state = 0;
    show_state();
}

void CheckboxWidget::set_text(std::u16string_view text) {
    m_label = std::u16string(text);
    if (!m_states.empty()) m_states[static_cast<size_t>(m_state)]->set_text(m_label);
}

void CheckboxWidget::set_state(int32_t state) {
    if (m_states.empty()) return;
    const int32_t count = state_count();
    state %= count;
    if (state < 0) state += count;
    if (state == m_state) return;
    m_state = state;
    show_state();
}

void CheckboxWidget::show_state() {
    for (size_t i = 0; i < m_states.size(); ++i) m_states[i]->set_visible(static_cast<int32_t>(i) == m_state);
    if (!m_states.empty()) m_states[static_cast<size_t>(m_state)]->set_text(m_label);
    mark_redraw();
}

void CheckboxWidget::on_click(Widget* widget, const PointerEvent& event) {
    if (m_states.empty() || widget != m_states[static_cast<size_t>(m_state)]) return;
    if (EventSink* sink = controller()) {
        sink->on_click(this, event);
        return;
    }
    set_state(m_state + 1);
}
