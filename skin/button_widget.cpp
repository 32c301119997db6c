#include "skin/button_widget.h"

ButtonWidget::ButtonWidget(Widget* parent) : Widget(parent) { register_for_input(); }

void ButtonWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_bound_key = key_code_from_name(properties.get_string(element, u"bind_key", u""));
    auto take = [&](std::u16string_view id) {
        Widget* found = find_child(id);
        if (found) {
            found->set_geometry_sink(nullptr);
            found->set_controller(nullptr);
        }
        return found;
    };
    m_normal = take(u"#normal");
    m_pressed_look = take(u"#pressed");
    m_disabled = take(u"#disabled");
    set_text(properties.translate(properties.get_string(element, u"text", u"")));
    update_look();
}

Widget* ButtonWidget::current_look() const {
    Widget* chosen = !can_click() ? m_disabled : is_pressed() ? m_pressed_look : m_normal;
    return chosen ? chosen : m_normal;
}

void ButtonWidget::update_look() {
    Widget* chosen = current_look();
    for (Widget* look : {m_normal, m_pressed_look, m_disabled}) {
        if (look) look->set_visible(look == chosen);
    }
    mark_redraw();
}

void ButtonWidget::on_enabled_changed(bool effective) {
    Widget::on_enabled_changed(effective);
    update_look();
}

void ButtonWidget::pressed_changed(bool was_pressed, const PointerEvent& event, bool from_pointer) {
    const bool now = is_pressed();
    if (now == was_pressed) return;
    update_look();
    PointerEvent report = event;
    if (!can_click()) report.cancel = true;
    if (EventSink* sink = controller()) sink->on_press_changed(this, report);
    // A key or code release happens "at the centre" and needs no hit: a button laid out empty
    // (a key binding with no picture) still clicks from its key.
    if (!now && can_click() && !event.cancel && (!from_pointer || hit_test({event.x, event.y}))) {
        if (EventSink* sink = controller()) sink->on_click(this, event);
    }
}

bool ButtonWidget::on_pointer_button(const PointerEvent& event) {
    const bool was = is_pressed();
    if (event.down && !event.cancel) {
        m_pointer_held = true;
        m_last_pointer = {event.x, event.y};
        if (EventSink* sink = controller()) sink->on_drag(this, event, {0, 0});
    } else {
        m_pointer_held = false;
    }
    pressed_changed(was, event, true);
    return true;
}

bool ButtonWidget::on_pointer_move(const PointerEvent& event) {
    if (!m_pointer_held) return false;
    const Point delta{event.x - m_last_pointer.x, event.y - m_last_pointer.y};
    m_last_pointer = {event.x, event.y};
    if (EventSink* sink = controller()) sink->on_drag(this, event, delta);
    return true;
}

bool ButtonWidget::on_key(const KeyEvent& event) {
    if (m_bound_key == key::None || event.code != m_bound_key) return false;
    // A release is only ours when our key was down.
    if (!event.pressed && !m_key_held) return false;
    const bool was = is_pressed();
    m_key_held = event.pressed;
    PointerEvent at_centre;
    at_centre.x = position().x + static_cast<int32_t>(size().width * 0.5);
    at_centre.y = position().y + static_cast<int32_t>(size().height * 0.5);
    at_centre.down = event.pressed;
    // A key let go while its button was hidden ends the press without a click.
    at_centre.cancel = !event.pressed && !is_effective_visible();
    pressed_changed(was, at_centre, false);
    return true;
}

void ButtonWidget::set_pressed(bool pressed) {
    const bool was = is_pressed();
    m_code_pressed = pressed;
    PointerEvent at_centre;
    at_centre.x = position().x + static_cast<int32_t>(size().width * 0.5);
    at_centre.y = position().y + static_cast<int32_t>(size().height * 0.5);
    at_centre.down = pressed;
    pressed_changed(was, at_centre, false);
}
