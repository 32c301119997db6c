#pragma once
// The three small dialogs every screen uses: a confirmation before deleting, an error message, and
// the rename screen. Each removes itself from the screen stack when it closes and reports only to
// the callback it was opened with, so one dialog object serves every owner in turn.
//
// Keys: Enter confirms (OK, or closes the error), Escape (or Back) cancels. The delete question
// starts with "btnCancel" under the keyboard's ring: Enter then cancels, and Left, Right, Up, Down
// or Tab move the ring to "btnOk" and back.
#include <functional>
#include <string>
#include <string_view>

#include "screens/form_screen.h"
#include "screens/skin_lookups.h"

class EditWidget;

// A dialog answered with "btnOk" (or Enter) and any other button (or Escape).
class AnsweredDialog : public FormScreen {
public:
    using FormScreen::FormScreen;
    virtual void confirm() = 0;
    virtual void cancel() = 0;

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    Widget* key_focus() const override { return m_focus; }

protected:
    // Attaches "btnOk" and "btnCancel".
    void attach_buttons();
    // Enter presses this button instead of confirming; null: Enter confirms.
    void set_key_focus(Widget* button);
    Widget* ok_button() const { return m_ok; }
    Widget* cancel_button() const { return m_cancel; }

private:
    Widget* m_ok = nullptr;
    Widget* m_cancel = nullptr;
    Widget* m_focus = nullptr;
};

// "FormConfirmation": "text", "btnOk", "btnCancel"; pushed as an overlay. A question that destroys
// nothing uses a form of the same make with its own look ("FormQuestion").
class ConfirmationDialog final : public AnsweredDialog {
public:
    explicit ConfirmationDialog(ScreenContext& context, std::u16string_view element = skin_id::form_confirmation);
    // Shows the question; on_ok runs after the dialog has closed, when the user confirmed.
    void ask(std::u16string_view text, std::function<void()> on_ok);
    const std::u16string& question() const { return m_question; }
    void confirm() override;
    void cancel() override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;

    Widget* m_text = nullptr;
    std::u16string m_question;
    std::function<void()> m_on_ok;
};

// "FormError": "text", "btnClose"; pushed as an overlay.
class ErrorDialog final : public FormScreen {
public:
    explicit ErrorDialog(ScreenContext& context);
    // Shows the message; a second error while one is shown replaces its text.
    void show_error(std::u16string_view text);
    const std::u16string& message() const { return m_message; }

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;

    Widget* m_text = nullptr;
    std::u16string m_message;
};

// "FormEdit": "edit", "btnOk", "btnCancel"; pushed as a full screen, with the text fully selected
// so that typing replaces it.
class RenameDialog final : public AnsweredDialog {
public:
    explicit RenameDialog(ScreenContext& context);
    // on_ok receives the edited text after the dialog has closed, when the user confirmed.
    void open(std::u16string_view text, std::function<void(const std::u16string&)> on_ok);
    std::u16string edited_text() const;
    // Replaces the edited text, as typing does.
    void set_edited_text(std::u16string_view text);
    void confirm() override;
    void cancel() override;

private:
    void attach_nodes() override;

    Widget* m_edit = nullptr;
    std::function<void(const std::u16string&)> m_on_ok;
};
