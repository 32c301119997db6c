// The main screen's list and search over the stand-in document: what the rows and the search line
// show for the records it lists, with no files, scans or audio behind them.
#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>

#include "os/date_time.h"
#include "screens/main_screen.h"
#include "skin/key_event.h"
#include "skin/text_widget.h"
#include "tests/screens/screen_fixture.h"

namespace {

using screen_test::FakeScreenFixture;

class MainScreenFakeTest : public FakeScreenFixture {
protected:
    void TearDown() override {
        m_screen.reset();
        FakeScreenFixture::TearDown();
    }

    // A record the document lists, as a scan of a short recording named so would list it.
    void add_record(std::u16string_view name) {
        RecordEntry entry;
        entry.path = root.text() + u"/" + std::u16string(name) + u".wav";
        entry.title = std::u16string(name);
        entry.size_text = u"1K";
        entry.duration = 0.05;
        entry.date = os::now();
        entry.valid = true;
        fake.add_record(std::move(entry));
    }
    MainScreen& open_screen() {
        MainScreenHooks hooks;
        hooks.show_recording = [this] { ++recording_screens; };
        hooks.show_playback = [this](const RecordEntry& record) {
            ++playbacks;
            played_path = record.path;
        };
        m_screen = std::make_unique<MainScreen>(*context, std::move(hooks));
        m_screen->show(false);
        frame();
        return *m_screen;
    }
    // The names the list's rows show now.
    std::set<std::u16string> shown_names(MainScreen& screen) {
        frame();
        std::set<std::u16string> names;
        for (int32_t row = 0; row < screen.list().count(); ++row) {
            if (Widget* shown = screen.list().row_for(row)) names.insert(shown->find_child(u"name")->text());
        }
        return names;
    }
    Widget& empty_line(MainScreen& screen) { return *screen.find_child(u"empty_list"); }

    int recording_screens = 0;
    int playbacks = 0;
    std::u16string played_path;

private:
    std::unique_ptr<MainScreen> m_screen;
};

TEST_F(MainScreenFakeTest, SearchKeepsWordStartsAndDrawsTheMatch) {
    add_record(u"Bob");
    add_record(u"the cat");
    add_record(u"xabc");
    add_record(u"Zed");
    MainScreen& screen = open_screen();
    EXPECT_EQ(screen.list().count(), 4);
    EXPECT_FALSE(screen.find_child(u"KeyboardContainer")->is_visible());

    tap(*screen.find_child(u"btnFilter"));
    EXPECT_TRUE(screen.is_search_open());
    EXPECT_TRUE(screen.find_child(u"KeyboardContainer")->is_visible());
    EXPECT_TRUE(screen.find_child(u"btnCloseFilter")->is_visible());
    EXPECT_FALSE(screen.find_child(u"btnFilter")->is_visible());

    tap(*screen.find_child(u"button2"));
    EXPECT_EQ(screen.filter(), u"2");
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob", u"the cat"}));
    // The matched letter of "the cat" is drawn in the skin's match colour.
    for (int32_t row = 0; row < screen.list().count(); ++row) {
        auto* name = dynamic_cast<TextWidget*>(screen.list().row_for(row)->find_child(u"name"));
        ASSERT_NE(name, nullptr);
        if (name->text() != u"the cat") continue;
        EXPECT_EQ(screen.row_match(row).name, 4u);
        bool found = false;
        for (const auto& line : name->shown_lines()) {
            for (const auto& piece : line) found |= piece.text == u"c" && piece.color != name->color();
        }
        EXPECT_TRUE(found);
    }

    // "bob" on 2-6-2; a fourth key is longer than every text: nothing shows, and further keys are
    // ignored while nothing does.
    tap(*screen.find_child(u"button6"));
    tap(*screen.find_child(u"button2"));
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob"}));
    tap(*screen.find_child(u"button2"));
    EXPECT_EQ(screen.list().count(), 0);
    press_key(key::digit(3));
    EXPECT_EQ(screen.filter(), u"2622");

    // Backspace takes keys back, and closes the search once there are none.
    press_key(key::Backspace);
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob"}));
    for (int i = 0; i < 3; ++i) press_key(key::Backspace);
    EXPECT_TRUE(screen.is_search_open());
    EXPECT_EQ(screen.list().count(), 4);
    press_key(key::Backspace);
    frame();
    EXPECT_FALSE(screen.is_search_open());
    EXPECT_FALSE(screen.find_child(u"KeyboardContainer")->is_visible());
    EXPECT_TRUE(screen.find_child(u"btnFilter")->is_visible());

    // A digit key opens the search by itself; the close button clears it.
    press_key(key::digit(9));
    EXPECT_TRUE(screen.is_search_open());
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Zed", u"xabc"}));
    tap(*screen.find_child(u"btnCloseFilter"));
    EXPECT_EQ(screen.filter(), u"");
    EXPECT_EQ(screen.list().count(), 4);
}

TEST_F(MainScreenFakeTest, ANewRecordingResetsTheSearchAndBringsUpTheRecordingScreen) {
    add_record(u"Bob");
    MainScreen& screen = open_screen();
    press_key(key::digit(9));
    EXPECT_EQ(screen.list().count(), 0);

    // With the search open, R is a letter of the search: the button records.
    tap(*screen.find_child(u"btnRecord"));
    ASSERT_TRUE(fake.is_recording());
    EXPECT_EQ(recording_screens, 1);
    EXPECT_FALSE(screen.is_search_open());
    EXPECT_EQ(screen.filter(), u"");
    EXPECT_EQ(screen.list().count(), 2);
    const int32_t index = fake.records().find(fake.current_record().path);
    EXPECT_EQ(screen.visible()[static_cast<size_t>(index)], index);
    fake.stop();
}

TEST_F(MainScreenFakeTest, TheEmptyListWelcomesAndASearchWithoutHitsSaysSo) {
    MainScreen& screen = open_screen();
    frame();
    EXPECT_TRUE(empty_line(screen).is_visible());
    EXPECT_EQ(empty_line(screen).text(), language.translate(u"Main_empty"));

    add_record(u"Bob");
    frame();
    EXPECT_FALSE(empty_line(screen).is_visible());
    press_key(key::digit(9));
    frame();
    EXPECT_TRUE(empty_line(screen).is_visible());
    EXPECT_EQ(empty_line(screen).text(), u"No matches");
    press_key(key::Backspace);
    frame();
    EXPECT_FALSE(empty_line(screen).is_visible());
}

TEST_F(MainScreenFakeTest, TheSearchShowsItsKeysAndDesktopLettersTypeTheirKeys) {
    add_record(u"Bob");
    add_record(u"Cris");
    add_record(u"Zed");
    MainScreen& screen = open_screen();
    EXPECT_FALSE(screen.find_child(u"search_display")->is_visible());
    EXPECT_TRUE(screen.find_child(u"title")->is_visible());

    // A letter opens the search and types the key it lies on, as the digit would.
    press_key(key::letter('C'));
    EXPECT_TRUE(screen.is_search_open());
    EXPECT_EQ(screen.filter(), u"2");
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob", u"Cris"}));
    EXPECT_TRUE(screen.find_child(u"search_display")->is_visible());
    EXPECT_FALSE(screen.find_child(u"title")->is_visible());
    press_key(key::letter('O'));
    EXPECT_EQ(screen.filter(), u"26");
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob"}));
    EXPECT_EQ(screen.find_child(u"search_keys")->text(), u"26");
    EXPECT_EQ(screen.find_child(u"search_letters")->text(), u"ABC MNO");
    press_key(key::Backspace);
    EXPECT_EQ(screen.find_child(u"search_keys")->text(), u"2");

    // While the search is open R and M are letters (7 and 6), not the record and menu keys.
    press_key(key::letter('R'));
    EXPECT_FALSE(fake.is_recording());
    EXPECT_EQ(screen.filter(), u"27");
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Cris"}));
    press_key(key::letter('M'));
    EXPECT_FALSE(screen.menu().is_shown());
    EXPECT_EQ(screen.filter(), u"276");
    EXPECT_EQ(screen.list().count(), 0);

    // Closed again, M opens the menu and R records.
    tap(*screen.find_child(u"btnCloseFilter"));
    press_key(key::letter('M'));
    frame();
    EXPECT_TRUE(screen.menu().is_shown());
    screen.menu().close();
    frame();
    press_key(key::letter('R'));
    EXPECT_TRUE(fake.is_recording());
    fake.stop();
}

TEST_F(MainScreenFakeTest, KeyboardSelectsAndPlaysAndErrorsShowTheirTexts) {
    add_record(u"Bob");
    add_record(u"Ann");
    MainScreen& screen = open_screen();
    press_key(key::Enter);  // no selection: nothing plays
    EXPECT_EQ(playbacks, 0);
    press_key(key::Down);
    EXPECT_EQ(screen.list().selection(), 0);
    press_key(key::Down);
    press_key(key::Enter);
    ASSERT_EQ(playbacks, 1);
    EXPECT_TRUE(fake.is_playing());
    EXPECT_EQ(played_path, fake.records().at(static_cast<size_t>(screen.visible()[1])).path);
    fake.stop();

    press_key(key::letter('M'));
    EXPECT_TRUE(screen.menu().is_shown());
    screen.menu().close();

    const std::pair<int32_t, std::u16string_view> errors[] = {{DocumentEvent::CardProblem, u"Sorry_card_problem"},
                                                              {DocumentEvent::WriterFailed, u"Sorry_no_memory"},
                                                              {DocumentEvent::BufferFailed, u"Sorry_too_slow_device"}};
    for (const auto& [code, key] : errors) {
        screen.on_document_event({code, 0});
        EXPECT_TRUE(screen.error_dialog().is_shown());
        EXPECT_EQ(screen.error_dialog().message(), language.translate(key));
        press_key(key::Enter);
        EXPECT_FALSE(screen.error_dialog().is_shown());
    }
}

}  // namespace
