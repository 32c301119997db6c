// The main menu on the shipped skin: what each command lists, what it changes, and that a command
// which shows "Settings" again keeps the rows where they were.
#include "screens/main_menu.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "document/document.h"
#include "lang/language.h"
#include "screens/about_dialog.h"
#include "skin/key_event.h"
#include "skin/visibility_animation.h"
#include "skin/vlist_widget.h"
#include "tests/screens/main_screen_fixture.h"

namespace {

using screen_test::MainScreenFixture;

class MainMenuTest : public MainScreenFixture {
protected:
    std::vector<std::u16string> commands(const Menu& menu) {
        std::vector<std::u16string> out;
        for (const MenuItem& item : menu.items()) out.push_back(item.command);
        return out;
    }
    const MenuItem* item(const Menu& menu, std::u16string_view command) {
        for (const MenuItem& found : menu.items()) {
            if (found.command == command) return &found;
        }
        return nullptr;
    }
    void choose(Menu& menu, std::u16string_view command) {
        const auto& items = menu.items();
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i].command == command) {
                menu.choose(i);
                frame();
                return;
            }
        }
        ADD_FAILURE() << "no menu item " << std::string(command.begin(), command.end());
    }
    // A button of the four-button row, the menu's first row.
    Widget& four_button(Menu& menu, std::u16string_view id) {
        frame();
        auto* list = dynamic_cast<VListWidget*>(menu.find_child(u"vlist"));
        Widget* row = list ? list->row_for(0) : nullptr;
        Widget* button = row ? row->find_child(id) : nullptr;
        EXPECT_NE(button, nullptr);
        return button ? *button : menu;
    }
};

TEST_F(MainMenuTest, MainAndFileMenusOfferWhatTheListAllows) {
    MainScreen& screen = open_screen();
    tap(*screen.find_child(u"btnMenu"));
    Menu& menu = screen.menu();
    ASSERT_TRUE(menu.is_shown());
    EXPECT_EQ(commands(menu), (std::vector<std::u16string>{u"Magic4Buttons", u"File", u"Settings", u"Cancel"}));
    EXPECT_EQ(menu.items()[0].node, u"MenuElement4Buttons");

    // Nothing listed: nothing to delete or move.
    choose(menu, u"File");
    EXPECT_EQ(commands(menu), (std::vector<std::u16string>{u"Refresh", u"Cancel"}));
    choose(menu, u"Cancel");
    EXPECT_FALSE(menu.is_shown());

    add_record(main_folder, "Bob");
    card_folder();
    screen.open_menu();
    choose(menu, u"File");
    EXPECT_EQ(commands(menu), (std::vector<std::u16string>{u"DeleteFiles", u"Move", u"Refresh", u"Cancel"}));

    // "%count%" is replaced wherever it stands.
    auto table = skin.language_table();
    table[u"Confirm_deleting"] = u"%count% of %count%?";
    skin.set_language_table(table);
    choose(menu, u"DeleteFiles");
    EXPECT_FALSE(menu.is_shown());
    ASSERT_TRUE(screen.confirmation().is_shown());
    EXPECT_EQ(screen.confirmation().question(), u"1 of 1?");
    press_key(key::Esc);
    EXPECT_EQ(document->records().size(), 1u);

    // Refresh scans again: the list follows files that came and went meanwhile.
    add_file(main_folder, "Ann");
    screen.open_menu();
    choose(menu, u"File");
    choose(menu, u"Refresh");
    EXPECT_EQ(screen.list().count(), 2);
}

TEST_F(MainMenuTest, SettingsChangeInPlaceAndAreSaved) {
    MainScreen& screen = open_screen();
    screen.open_menu();
    frame();
    Menu& menu = screen.menu();
    choose(menu, u"Settings");
    // The shipped languages give a choice; no hardware buttons: no quick record.
    EXPECT_EQ(commands(menu),
              (std::vector<std::u16string>{u"AutoRecord", u"Speaker", u"Format", u"Boost", u"Language", u"Cancel"}));
    // The panel, shown again in place, has slid in completely: frames came until it had.
    Widget* panel = menu.find_child(u"panel");
    ASSERT_NE(panel, nullptr);
    EXPECT_TRUE(panel->is_visible());
    EXPECT_FALSE(panel->animation() && panel->animation()->is_running());
    EXPECT_EQ(item(menu, u"Format")->text, language.translate(u"Mp3Middle"));
    EXPECT_FALSE(item(menu, u"Speaker")->checked);

    auto* list = dynamic_cast<VListWidget*>(menu.find_child(u"vlist"));
    ASSERT_NE(list, nullptr);
    Widget* speaker_row = list->row_for(1);
    ASSERT_NE(speaker_row, nullptr);
    const size_t rows = list->rows_created();
    choose(menu, u"Speaker");
    EXPECT_TRUE(item(menu, u"Speaker")->checked);
    EXPECT_TRUE(document->settings().speaker);
    // The same rows, in their places; only the mark changed.
    EXPECT_EQ(list->row_for(1), speaker_row);
    EXPECT_EQ(list->rows_created(), rows);
    EXPECT_TRUE(speaker_row->find_child(u"checked")->is_visible());

    choose(menu, u"Format");
    EXPECT_EQ(commands(menu), (std::vector<std::u16string>{u"Mp3Low", u"Mp3Middle", u"Mp3High", u"Settings"}));
    EXPECT_TRUE(item(menu, u"Mp3Middle")->checked);
    EXPECT_EQ(menu.items().back().text, language.translate(u"Cancel"));
    choose(menu, u"Mp3High");
    EXPECT_EQ(item(menu, u"Format")->text, language.translate(u"Mp3High"));

    // A choice shows the Settings again, under their own heading.
    EXPECT_EQ(menu.caption(), language.translate(u"Settings"));

    choose(menu, u"Boost");
    EXPECT_TRUE(item(menu, u"BoostOff")->checked);  // the current one is always marked, no boost too
    EXPECT_EQ(menu.caption(), language.translate(u"Boost"));
    choose(menu, u"Boost2");
    EXPECT_TRUE(item(menu, u"Boost")->checked);
    EXPECT_EQ(menu.caption(), language.translate(u"Settings"));
    choose(menu, u"Boost");
    EXPECT_TRUE(item(menu, u"Boost2")->checked);
    EXPECT_FALSE(item(menu, u"BoostOff")->checked);
    choose(menu, u"Settings");  // the submenu's cancel
    EXPECT_EQ(commands(menu).front(), u"AutoRecord");
    EXPECT_EQ(menu.caption(), language.translate(u"Settings"));  // not "Cancel"

    // What was chosen is in the registry for the next start.
    Settings saved;
    saved.load_first();
    EXPECT_EQ(saved.speaker, 1);
    EXPECT_EQ(saved.format, u"Mp3High");
    EXPECT_EQ(saved.boost, u"Boost2");

    hardware_buttons = true;
    choose(menu, u"Cancel");
    screen.open_menu();
    choose(menu, u"Settings");
    choose(menu, u"QuickRecord");
    EXPECT_EQ(quick_records, 1);
}

TEST_F(MainMenuTest, ALanguageChangeReloadsEveryScreenWithinAFrame) {
    MainScreen& screen = open_screen();
    screen.open_menu();
    Menu& menu = screen.menu();
    choose(menu, u"Settings");
    choose(menu, u"Language");
    ASSERT_NE(item(menu, u"Language#german"), nullptr);
    EXPECT_TRUE(item(menu, u"Language#english")->checked);
    menu.choose(static_cast<size_t>(item(menu, u"Language#german") - menu.items().data()));
    EXPECT_FALSE(menu.is_shown());
    frame();
    EXPECT_EQ(language.name(), u"german");
    EXPECT_EQ(stack.top(), &screen);
    EXPECT_EQ(stack.depth(), 1u);
    // The menu rows are rebuilt in German.
    screen.open_menu();
    frame();
    EXPECT_EQ(menu.find_child(u"caption")->text(), language.translate(u"MainMenu"));
    EXPECT_EQ(skin.translate(u"Cancel"), language.translate(u"Cancel"));
    EXPECT_NE(skin.translate(u"Cancel"), u"Cancel");
}

TEST_F(MainMenuTest, FourButtonsMinimiseQuitAboutAndHelp) {
    MainScreen& screen = open_screen();
    Menu& menu = screen.menu();
    screen.open_menu();
    frame();
    tap(four_button(menu, u"Minimize"));
    EXPECT_EQ(host.minimised, 1);
    EXPECT_FALSE(menu.is_shown());

    screen.open_menu();
    frame();
    tap(four_button(menu, u"About"));
    // Its own card, not the error overlay: name and version, what it does, licence, libraries.
    AboutDialog& about = screen.main_menu().about_dialog();
    ASSERT_TRUE(about.is_shown());
    EXPECT_FALSE(screen.error_dialog().is_shown());
    EXPECT_NE(about.find_child(u"version")->text().find(u"Quillon Touch 0."), std::u16string::npos);
    const std::u16string body = about.find_child(u"text")->text();
    for (std::u16string_view part :
         {std::u16string_view(u"Records voice notes"), std::u16string_view(u"Licence: "), std::u16string_view(u"LAME"),
          std::u16string_view(u"SQLite"), std::u16string_view(u"ICU")}) {
        EXPECT_NE(body.find(part), std::u16string::npos) << os::to_utf8(std::u16string(part));
    }
    press_key(key::Enter);
    EXPECT_FALSE(about.is_shown());

    // Help opens the page of the language in use, which the build put beside the program.
    EXPECT_EQ(screen.main_menu().help_path(), u"%app_path%/help/english.html");
    EXPECT_TRUE(std::filesystem::exists(std::string(QUILLON_BIN_DIR) + "/help/english.html"));
    EXPECT_TRUE(std::filesystem::exists(std::string(QUILLON_BIN_DIR) + "/help/german.html"));
    EXPECT_TRUE(std::filesystem::exists(std::string(QUILLON_BIN_DIR) + "/help/russian.html"));

    press_key(key::letter('R'));
    ASSERT_TRUE(document->is_recording());
    document->stop();
    screen.open_menu();
    frame();
    tap(four_button(menu, u"Exit"));
    EXPECT_EQ(host.quits, 1);
    EXPECT_FALSE(document->is_recording());
}

}  // namespace
