#pragma once
// A button ("button"): shows exactly one of its looks "#normal", "#pressed", "#disabled" (a
// missing one falls back to "#normal"), is pressed by the pointer, by its bound key ("bind_key")
// or by code, and clicks when a press ends over it while it is enabled.
//
// Its controller hears on_click, on_press_changed (cancel set while disabled) and on_drag (the
// pointer's movement while it is held, zero at the press).
#include "skin/widget.h"

class ButtonWidget : public Widget {
public:
    explicit ButtonWidget(Widget* parent = nullptr);

    void load(const Properties& properties, SkinElement element) override;
    void on_enabled_changed(bool effective) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_pointer_move(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

    bool is_pressed() const { return m_pointer_held || m_key_held || m_code_pressed; }
    // The third source of "pressed", beside the pointer and the bound key.
    void set_pressed(bool pressed);
    int32_t bound_key() const { return m_bound_key; }
    void set_bound_key(int32_t code) { m_bound_key = code; }
    // The look shown now (none when the skin gave the button no looks).
    Widget* current_look() const;

private:
    void update_look();
    // Raises the press change and the click that the new state implies.
    void pressed_changed(bool was_pressed, const PointerEvent& event, bool from_pointer);
    bool can_click() const { return is_enabled() && is_effective_enabled(); }

    Widget* m_normal = nullptr;
    Widget* m_pressed_look = nullptr;
    Widget* m_disabled = nullptr;
    int32_t m_bound_key = key::None;
    bool m_pointer_held = false;
    bool m_key_held = false;
    bool m_code_pressed = false;
    Point m_last_pointer;
};
