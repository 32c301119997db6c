#include "skin/input_scope.h"

#include <algorithm>

#include "skin/widget.h"

namespace {
bool can_take_input(const Widget& widget) { return widget.is_effective_visible() && widget.is_effective_enabled(); }
}  // namespace

InputScope::InputScope() : m_alive(std::make_shared<bool>(true)) {}

InputScope::~InputScope() {
    *m_alive = false;
    for (Widget* widget : m_widgets) widget->forget_input_scope(this);
}

void InputScope::add_input_widget(Widget* widget) {
    if (!widget || is_registered(widget)) return;
    m_widgets.push_back(widget);
}

void InputScope::remove_input_widget(Widget* widget) {
    std::erase(m_widgets, widget);
    std::erase(m_holders, widget);
    if (m_focus == widget) m_focus = nullptr;
}

bool InputScope::is_registered(const Widget* widget) const {
    return std::find(m_widgets.begin(), m_widgets.end(), widget) != m_widgets.end();
}

bool InputScope::is_holding(const Widget* widget) const {
    return std::find(m_holders.begin(), m_holders.end(), widget) != m_holders.end();
}

bool InputScope::deliver_pointer_down(const PointerEvent& event) {
    if (!m_holders.empty()) return false;
    const std::shared_ptr<bool> alive = m_alive;
    const std::vector<Widget*> candidates = m_widgets;
    for (Widget* widget : candidates) {
        if (!is_registered(widget) || !can_take_input(*widget) || !widget->hit_test({event.x, event.y})) continue;
        m_holders.push_back(widget);
        const bool handled = widget->on_pointer_button(event);
        if (!*alive) return true;
        if (handled) return true;
    }
    return false;
}

void InputScope::deliver_pointer_move(const PointerEvent& event) {
    const std::shared_ptr<bool> alive = m_alive;
    const std::vector<Widget*> holders = m_holders;
    for (Widget* widget : holders) {
        if (!is_holding(widget) || !can_take_input(*widget)) continue;
        widget->on_pointer_move(event);
        if (!*alive) return;
    }
}

void InputScope::deliver_pointer_up(const PointerEvent& event) {
    const std::shared_ptr<bool> alive = m_alive;
    const std::vector<Widget*> holders = std::move(m_holders);
    m_holders.clear();
    for (Widget* widget : holders) {
        if (!is_registered(widget)) continue;
        // A holder that was hidden or disabled meanwhile still hears the release, as a cancelled
        // one, so that it does not stay pressed; it cannot click.
        PointerEvent release = event;
        release.down = false;
        if (!can_take_input(*widget)) release.cancel = true;
        widget->on_pointer_button(release);
        if (!*alive) return;
    }
}

void InputScope::cancel_pointer() {
    if (m_holders.empty()) return;
    PointerEvent event;
    event.x = -1000000;
    event.y = -1000000;
    event.cancel = true;
    deliver_pointer_up(event);
}

bool InputScope::deliver_key(const KeyEvent& event) {
    const std::shared_ptr<bool> alive = m_alive;
    const std::vector<Widget*> candidates = m_widgets;
    for (Widget* widget : candidates) {
        if (!is_registered(widget)) continue;
        // A release reaches hidden and disabled widgets too, so a key held while its button went
        // away does not stay down.
        if (event.pressed && !can_take_input(*widget)) continue;
        const bool handled = widget->on_key(event);
        if (!*alive) return true;
        if (handled) return true;
    }
    return false;
}

bool InputScope::deliver_char(char16_t character) {
    if (!m_focus || !can_take_input(*m_focus)) return false;
    return m_focus->on_char(character);
}

void InputScope::set_focus(Widget* widget) {
    if (widget && !is_registered(widget)) return;
    m_focus = widget;
}
