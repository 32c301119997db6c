#pragma once
// "FormAbout": who the program is, in a card of its own rather than the error overlay. Children
// "text" and "btnClose", optional "title" and "version". A skin without "FormAbout" shows the
// same text in the error overlay (MainMenu decides).
#include <string>
#include <string_view>

#include "screens/form_screen.h"

class AboutDialog final : public FormScreen {
public:
    explicit AboutDialog(ScreenContext& context);

    // Whether the skin has the card (a skin without it still works).
    static bool is_in_skin(const Properties& skin);
    // "Version 0.1"; the name is the program's own and not translated.
    static std::u16string version_text();
    // What the program does, its licence and the libraries it is made with, in the user's language.
    static std::u16string body_text(const Properties& skin);

    void open();

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;

private:
    void attach_nodes() override;
};
