// The three dialogs on the shipped skin: what each reports to its owner, and that each leaves the
// screen stack as it found it.
#include "screens/dialogs.h"

#include <gtest/gtest.h>

#include "skin/color.h"
#include "skin/key_event.h"
#include "skin/screen.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::FakeScreenFixture;

class DialogsTest : public FakeScreenFixture {};

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

    // Keys: Escape (and Backspace, with no edit to take it) cancels, Enter confirms.
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Esc);
    EXPECT_EQ(confirmed, 1);
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Backspace);
    EXPECT_FALSE(dialog.is_shown());
    EXPECT_EQ(confirmed, 1);
    // Enter presses the button with the ring: Cancel at first, OK once an arrow moved the ring.
    dialog.ask(u"Again?", [&] { ++confirmed; });
    EXPECT_EQ(dialog.key_focus(), dialog.find_child(u"btnCancel"));
    press_key(key::Enter);
    EXPECT_EQ(confirmed, 1);
    EXPECT_FALSE(dialog.is_shown());
    dialog.ask(u"Again?", [&] { ++confirmed; });
    press_key(key::Tab);
    EXPECT_EQ(dialog.key_focus(), dialog.find_child(u"btnOk"));
    press_key(key::Down);
    EXPECT_EQ(dialog.key_focus(), dialog.find_child(u"btnCancel"));
    press_key(key::Right);
    // The ring is drawn, light on the dark card.
    frame();
    const Widget& ok = *dialog.find_child(u"btnOk");
    const RenderSurface& shown = frame_surface();
    EXPECT_EQ(shown.bitmap()->at(ok.position().x + 1, ok.position().y + ok.size().height / 2),
              to_pixel(FormScreen::focus_ring_color));
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

TEST_F(DialogsTest, RenameAnswersEscapeEnterAndTheEditingKeysAsATextFieldDoes) {
    RenameDialog dialog(*context);
    int confirmed = 0;
    std::u16string renamed;
    auto on_ok = [&](const std::u16string& text) {
        ++confirmed;
        renamed = text;
    };

    // Escape cancels at once, whatever was typed, and the title stays.
    dialog.open(u"Old", on_ok);
    frame();
    stack.on_text(u"Typed");
    press_key(key::Esc);
    EXPECT_FALSE(dialog.is_shown());
    EXPECT_EQ(confirmed, 0);

    // An empty title (or one of spaces) is never taken: Enter and OK leave the dialog open.
    dialog.open(u"Old", on_ok);
    frame();
    press_key(key::Backspace);
    press_key(key::Enter);
    EXPECT_TRUE(dialog.is_shown());
    stack.on_text(u"   ");
    tap(*dialog.find_child(u"btnOk"));
    EXPECT_TRUE(dialog.is_shown());
    EXPECT_EQ(confirmed, 0);

    // Home, End, Left, Right and Delete move and edit where the caret is.
    dialog.set_edited_text(u"bcd");
    press_key(key::Home);
    stack.on_text(u"a");
    EXPECT_EQ(dialog.edited_text(), u"abcd");
    press_key(key::End);
    stack.on_text(u"e");
    EXPECT_EQ(dialog.edited_text(), u"abcde");
    press_key(key::Home);
    press_key(key::Right);
    press_key(key::Del);
    EXPECT_EQ(dialog.edited_text(), u"acde");
    press_key(key::End);
    press_key(key::Left);
    press_key(key::Backspace);
    EXPECT_EQ(dialog.edited_text(), u"ace");
    press_key(key::End);
    press_key(key::Del);  // nothing after the caret
    EXPECT_EQ(dialog.edited_text(), u"ace");

    // A plain A is a letter's key; Ctrl+A selects the whole text, which typing then replaces.
    press_key(key::A);
    EXPECT_EQ(dialog.edited_text(), u"ace");
    stack.on_key(KeyEvent{key::A, true, true, true});
    stack.on_key(KeyEvent{key::A, false, true, true});
    stack.on_text(u"Shopping");
    EXPECT_EQ(dialog.edited_text(), u"Shopping");
    press_key(key::Enter);
    EXPECT_EQ(confirmed, 1);
    EXPECT_EQ(renamed, u"Shopping");
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
