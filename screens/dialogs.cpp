#include "screens/dialogs.h"

#include <utility>

#include "screens/skin_lookups.h"
#include "skin/edit_widget.h"
#include "skin/key_event.h"

namespace {
bool is_press(const KeyEvent& event, int32_t code) { return event.pressed && event.fresh && event.code == code; }

// Escape (and a phone's Back key) cancels; so does Backspace where no edit with the focus takes it
// first.
bool is_cancel(const KeyEvent& event) { return is_press(event, key::Esc) || is_press(event, key::Backspace); }
}  // namespace

// Answered dialogs ---------------------------------------------------------------------------------

void AnsweredDialog::attach_buttons() {
    const bool cancel_had_focus = m_focus && m_focus == m_cancel;
    const bool ok_had_focus = m_focus && m_focus == m_ok;
    m_ok = &control(skin_id::btn_ok);
    m_cancel = &control(skin_id::btn_cancel);
    // A rebuilt tree (a skin reload) keeps the ring on the same button.
    m_focus = cancel_had_focus ? m_cancel : ok_had_focus ? m_ok : nullptr;
}

void AnsweredDialog::set_key_focus(Widget* button) {
    m_focus = button;
    mark_redraw();
}

void AnsweredDialog::on_click(Widget* widget, const PointerEvent&) {
    if (widget == m_ok) {
        confirm();
    } else {
        cancel();
    }
}

bool AnsweredDialog::on_key(const KeyEvent& event) {
    if (is_press(event, key::Enter)) {
        if (m_focus && m_focus == m_cancel) {
            cancel();
        } else {
            confirm();
        }
        return true;
    }
    if (m_focus) {
        for (int32_t code : {key::Left, key::Right, key::Up, key::Down, key::Tab}) {
            if (is_press(event, code)) {
                set_key_focus(m_focus == m_ok ? m_cancel : m_ok);
                return true;
            }
        }
    }
    if (is_cancel(event)) {
        cancel();
        return true;
    }
    return FormScreen::on_key(event);
}

// Confirmation -------------------------------------------------------------------------------------

ConfirmationDialog::ConfirmationDialog(ScreenContext& context, std::u16string_view element)
    : AnsweredDialog(context, std::u16string(element)) {}

void ConfirmationDialog::attach_nodes() {
    m_text = &node(skin_id::text);
    attach_buttons();
}

void ConfirmationDialog::on_rebuilt() { m_text->set_text(m_question); }

void ConfirmationDialog::ask(std::u16string_view text, std::function<void()> on_ok) {
    if (!m_text) build();
    m_question = std::u16string(text);
    m_on_ok = std::move(on_ok);
    m_text->set_text(m_question);
    // What cannot be undone is not done by a stray Enter: the safe answer has the ring.
    set_key_focus(cancel_button());
    show(true);
}

void ConfirmationDialog::confirm() {
    std::function<void()> on_ok = std::exchange(m_on_ok, nullptr);
    close();
    if (on_ok) on_ok();
}

void ConfirmationDialog::cancel() {
    m_on_ok = nullptr;
    close();
}

// Error --------------------------------------------------------------------------------------------

ErrorDialog::ErrorDialog(ScreenContext& context) : FormScreen(context, std::u16string(skin_id::form_error)) {}

void ErrorDialog::attach_nodes() {
    m_text = &node(skin_id::text);
    control(skin_id::btn_close);
}

void ErrorDialog::on_rebuilt() { m_text->set_text(m_message); }

void ErrorDialog::show_error(std::u16string_view text) {
    if (!m_text) build();
    m_message = std::u16string(text);
    m_text->set_text(m_message);
    if (!is_shown()) show(true);
}

void ErrorDialog::on_click(Widget*, const PointerEvent&) { close(); }

bool ErrorDialog::on_key(const KeyEvent& event) {
    if (is_press(event, key::Enter) || is_cancel(event)) {
        close();
        return true;
    }
    return FormScreen::on_key(event);
}

// Rename -------------------------------------------------------------------------------------------

RenameDialog::RenameDialog(ScreenContext& context) : AnsweredDialog(context, std::u16string(skin_id::form_edit)) {}

void RenameDialog::attach_nodes() {
    m_edit = &node(skin_id::edit);
    attach_buttons();
}

void RenameDialog::open(std::u16string_view text, std::function<void(const std::u16string&)> on_ok) {
    if (!m_edit) build();
    m_on_ok = std::move(on_ok);
    set_edited_text(text);
    show(false);
    if (auto* edit = dynamic_cast<EditWidget*>(m_edit)) {
        edit->focus();
        edit->select_all();
    }
}

std::u16string RenameDialog::edited_text() const {
    if (const auto* edit = dynamic_cast<const EditWidget*>(m_edit)) return edit->shown_text();
    return m_edit ? m_edit->text() : std::u16string();
}

void RenameDialog::set_edited_text(std::u16string_view text) {
    if (!m_edit) build();
    m_edit->set_text(text);
}

void RenameDialog::confirm() {
    std::u16string text = edited_text();
    // A recording needs a title: an empty one (or only spaces) is not taken, the dialog stays.
    if (text.find_first_not_of(u" \t\n") == std::u16string::npos) return;
    auto on_ok = std::exchange(m_on_ok, nullptr);
    close();
    if (on_ok) on_ok(text);
}

void RenameDialog::cancel() {
    m_on_ok = nullptr;
    close();
}
