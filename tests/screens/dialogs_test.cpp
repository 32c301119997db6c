// The three dialogs on the shipped skin: what each reports to its owner, and that each leaves the
// screen stack as it found it.
#include "screens/dialogs.h"

#include <gtest/gtest.h>

#include "skin/key_event.h"
#include "skin/screen.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::ScreenFixture;

class DialogsTest : public ScreenFixture {};

// A stand-in for the screen the dialogs are opened over.
class Backdrop final : public Screen {};

TEST_F(DialogsTest, ConfirmationReportsOnlyAnOkAndClosesEitherWay) {
    Backdrop backdrop;
    stack.push_screen(&backdrop, false);
    ConfirmationDialog dialog(*context);
    int confirmed = 0;

    dialog.ask(u"Delete 3 files?", [&] { ++confirmed; });
    EXPECT_TRUE(dialog.is_shown());
    EXPECT_TRUE(stack.top_is_overlay());
    EXPECT_EQ(dialog.find_child(u"text")->text(), u"Delete 3 files?");
    tap(*dialog.find_child(u"btnCancel"));
    EXPECT_FALSE(dialog.is_shown());
    EXPECT_EQ(confirmed, 0);

    dialog.ask(u"Delete 2 files?", [&] { ++confirmed; });
    tap(*dialog.find_child(u"btnOk"));
    EXPECT_FALSE(dialog.is_shown());
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(stack.top(), &backdrop);

    // Keys: Escape (which the window delivers as Backspace) cancels, Enter confirms.
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Esc);
    EXPECT_EQ(confirmed, 1);
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Backspace);
    EXPECT_FALSE(dialog.is_shown());
    EXPECT_EQ(confirmed, 1);
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Enter);
    EXPECT_EQ(confirmed, 2);
    EXPECT_EQ(stack.depth(), 1u);
    stack.remove_screen(&backdrop);
}

TEST_F(DialogsTest, ASecondErrorReplacesTheTextOfTheOneShown) {
    ErrorDialog dialog(*context);
    dialog.show_error(u"Card problem");
    dialog.show_error(u"No memory");
    EXPECT_EQ(stack.depth(), 1u);
    EXPECT_EQ(dialog.find_child(u"text")->text(), u"No memory");
    tap(*dialog.find_child(u"btnClose"));
    EXPECT_EQ(stack.depth(), 0u);
}

TEST_F(DialogsTest, RenameHandsBackTheEditedTextOnlyWhenConfirmed) {
    RenameDialog dialog(*context);
    std::u16string renamed;
    dialog.open(u"2026-12-08 10.42.00", [&](const std::u16string& text) { renamed = text; });
    EXPECT_FALSE(stack.top_is_overlay());
    frame();
    // The title is selected whole, so what is typed replaces it.
    stack.on_text(u"Shopping list");
    EXPECT_EQ(dialog.edited_text(), u"Shopping list");
    tap(*dialog.find_child(u"btnCancel"));
    EXPECT_EQ(renamed, u"");

    dialog.open(u"Old", [&](const std::u16string& text) { renamed = text; });
    frame();
    // Backspace edits the text; it does not cancel the dialog.
    press_key(key::Backspace);
    EXPECT_TRUE(dialog.is_shown());
    EXPECT_EQ(dialog.edited_text(), u"");
    stack.on_text(u"New");
    press_key(key::Enter);
    EXPECT_EQ(renamed, u"New");
    EXPECT_FALSE(dialog.is_shown());
}

TEST_F(DialogsTest, SkinReloadKeepsTheDialogsText) {
    ErrorDialog dialog(*context);
    dialog.show_error(u"Storage card removed");
    skin.send_reload_skin();
    EXPECT_EQ(dialog.find_child(u"text")->text(), u"Storage card removed");
    dialog.close();
}

}  // namespace
