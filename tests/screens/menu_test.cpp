// The menu machinery with a provider of our own on the shipped skin: submenus, commands carried out
// in place, disabled rows, the four-button row, and closing.
#include "screens/menu.h"

#include <gtest/gtest.h>

#include "skin/key_event.h"
#include "skin/vlist_widget.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::FakeScreenFixture;

class Provider final : public MenuProvider {
public:
    void fill(std::u16string_view command, std::vector<MenuItem>& items) override {
        received.emplace_back(command);
        if (command == u"Root") {
            items.push_back({std::u16string(Menu::four_buttons_command), u"", u"MenuElement4Buttons"});
            items.push_back({u"File"});
            items.push_back({u"Move", u"", u"", false});
            items.push_back({u"Settings"});
            items.push_back({u"Cancel"});
        } else if (command == u"Settings") {
            items.push_back({u"Speaker", u"", u"", true, false, speaker});
            items.push_back({u"Format", u"MP3, 64 kbit/s"});
            items.push_back({u"Cancel"});
        } else if (command == u"Speaker") {
            speaker = !speaker;
            fill(u"Settings", items);
        } else if (command == u"File") {
            items.push_back({u"Refresh"});
            items.push_back({u"Cancel"});
        }
    }
    std::vector<std::u16string> received;
    bool speaker = false;
};

class MenuTest : public FakeScreenFixture {
protected:
    void SetUp() override {
        FakeScreenFixture::SetUp();
        menu = std::make_unique<Menu>(*context);
        menu->set_provider(&provider);
    }
    void TearDown() override {
        menu.reset();
        FakeScreenFixture::TearDown();
    }
    VListWidget& list() { return *dynamic_cast<VListWidget*>(menu->find_child(u"vlist")); }
    Widget& row(int index) {
        frame();
        Widget* found = list().row_for(index);
        EXPECT_NE(found, nullptr);
        return *found;
    }

    Provider provider;
    std::unique_ptr<Menu> menu;
};

TEST_F(MenuTest, ACommandThatShowsItsMenuAgainKeepsTheRowsInPlace) {
    menu->open(u"Settings", u"", true);
    ASSERT_TRUE(menu->is_shown());
    EXPECT_TRUE(stack.top_is_overlay());
    EXPECT_EQ(list().count(), 3);
    // The caption is the language text of the command; a row without text shows its command's.
    EXPECT_EQ(menu->caption(), language.translate(u"Settings"));
    EXPECT_EQ(row(1).find_child(u"#text")->text(), u"MP3, 64 kbit/s");
    EXPECT_EQ(row(0).find_child(u"#text")->text(), language.translate(u"Speaker"));

    Widget* speaker_row = &row(0);
    EXPECT_FALSE(speaker_row->find_child(u"checked")->is_visible());
    tap(*speaker_row);
    EXPECT_TRUE(provider.speaker);
    EXPECT_TRUE(menu->is_shown());
    EXPECT_EQ(&row(0), speaker_row);
    EXPECT_TRUE(speaker_row->find_child(u"checked")->is_visible());
    EXPECT_EQ(stack.depth(), 1u);

    // Cancel is unknown to the provider: no items, the menu closes.
    tap(row(2));
    EXPECT_FALSE(menu->is_shown());
    EXPECT_EQ(provider.received.back(), u"Cancel");
}

TEST_F(MenuTest, SubmenusDisabledRowsAndTheFourButtons) {
    menu->open(u"Root", u"", true);
    ASSERT_EQ(list().count(), 5);
    // A disabled row is drawn with its disabled look and does nothing.
    tap(row(2));
    EXPECT_EQ(provider.received.back(), u"Root");
    EXPECT_EQ(list().count(), 5);
    // The four-button row sends its buttons' words, not its own command.
    tap(row(0));
    EXPECT_EQ(provider.received.back(), u"Root");
    Widget* exit = row(0).find_child(u"Exit");
    ASSERT_NE(exit, nullptr);
    tap(*exit);
    EXPECT_EQ(provider.received.back(), u"Exit");
    EXPECT_FALSE(menu->is_shown());

    // By keys: Down reaches the four-button row with the ring on About, Left and Right move it,
    // Enter presses the button under it.
    menu->open(u"Root", u"", true);
    frame();
    EXPECT_EQ(menu->key_focus(), nullptr);
    press_key(key::Down);
    ASSERT_NE(menu->key_focus(), nullptr);
    EXPECT_EQ(menu->key_focus()->id(), u"About");
    press_key(key::Left);
    EXPECT_EQ(menu->key_focus()->id(), u"About");
    for (int i = 0; i < 5; ++i) press_key(key::Right);
    EXPECT_EQ(menu->key_focus()->id(), u"Exit");
    press_key(key::Left);
    EXPECT_EQ(menu->key_focus()->id(), u"Minimize");
    press_key(key::Enter);
    EXPECT_EQ(provider.received.back(), u"Minimize");

    // A submenu of another length replaces the rows.
    menu->open(u"Root", u"", true);
    tap(row(1));
    EXPECT_EQ(list().count(), 2);
    EXPECT_EQ(menu->caption(), language.translate(u"File"));
    EXPECT_TRUE(menu->is_shown());
    press_key(key::Esc);
    EXPECT_FALSE(menu->is_shown());
    EXPECT_EQ(stack.depth(), 0u);
}

TEST_F(MenuTest, TheMenuSurvivesASkinReloadWithItsRows) {
    menu->open(u"Settings", u"", true);
    skin.send_reload_skin();
    EXPECT_EQ(list().count(), 3);
    EXPECT_EQ(row(1).find_child(u"#text")->text(), u"MP3, 64 kbit/s");
    tap(row(0));
    EXPECT_TRUE(provider.speaker);
}

}  // namespace
