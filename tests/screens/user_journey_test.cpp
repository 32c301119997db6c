// A user's whole way through the program on the null display, with the main screen and the screens
// it owns as the program builds them: record a note from the file microphone, pause, resume and
// stop it, find it by its keypad letters, play it, seek, rename it, continue it and delete it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>

#include "audio/readers/file_reader.h"
#include "document/document.h"
#include "os/date_time.h"
#include "os/path.h"
#include "os/text.h"
#include "screens/main_screen.h"
#include "screens/menu.h"
#include "screens/playback_screen.h"
#include "screens/recording_screen.h"
#include "skin/key_event.h"
#include "skin/progress_widget.h"
#include "tests/screens/main_screen_fixture.h"

namespace {

using screen_test::MainScreenFixture;

class UserJourneyTest : public MainScreenFixture {
protected:
    void TearDown() override {
        m_screen.reset();
        MainScreenFixture::TearDown();
    }
    MainScreen& open_program() {
        m_screen = std::make_unique<MainScreen>(*context);
        m_screen->build_all();
        m_screen->show(false);
        frame();
        return *m_screen;
    }
    int menu_index(Menu& menu, std::u16string_view command) {
        const auto& items = menu.items();
        const auto found =
            std::find_if(items.begin(), items.end(), [&](const MenuItem& item) { return item.command == command; });
        return found == items.end() ? -1 : static_cast<int>(found - items.begin());
    }
    static double file_duration(const std::u16string& path) {
        auto reader = FileReader::open(path);
        return reader ? reader->info().duration() : -1.0;
    }
    bool is_listed(std::u16string_view path) { return document->records().find(path) >= 0; }
    // The list row showing the record at path, -1 when the search hides it.
    int32_t row_of_path(MainScreen& main, std::u16string_view path) {
        const int index = document->records().find(path);
        const auto& visible = main.visible();
        const auto found = std::find(visible.begin(), visible.end(), index);
        return index < 0 || found == visible.end() ? -1 : static_cast<int32_t>(found - visible.begin());
    }

private:
    std::unique_ptr<MainScreen> m_screen;
};

TEST_F(UserJourneyTest, RecordFindPlaySeekRenameAppendAndDelete) {
    add_record(main_folder, "Zebra crossing");
    MainScreen& main = open_program();
    RecordingScreen& recording = main.recording_screen();
    PlaybackScreen& playback = main.playback_screen();
    ASSERT_EQ(main.list().count(), 1);

    // R records a voice note: the recording screen comes up over the list.
    press_key(key::letter('R'));
    ASSERT_TRUE(document->is_recording());
    frame();
    EXPECT_EQ(stack.top(), &recording);
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.5; }));
    tap(*recording.find_child(u"btnPause"));
    EXPECT_TRUE(document->is_paused());
    EXPECT_TRUE(recording.find_child(u"btnResume")->is_visible());
    press_key(key::Space);
    EXPECT_FALSE(document->is_paused());
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 1.0; }));
    // Escape (delivered as Backspace) stops the recording and returns to the list.
    press_key(key::Backspace);
    frame();
    EXPECT_FALSE(document->is_recording());
    EXPECT_EQ(stack.top(), &main);
    const std::u16string note = document->current_record().path;
    ASSERT_TRUE(is_listed(note));
    EXPECT_EQ(main.list().count(), 2);

    // Its artist "Record" (7-3-2) is the same for every voice note and not searched: 7 finds
    // nothing. Its title holds the year as a word; the other recording has no word starting so.
    press_key(key::digit(7));
    EXPECT_EQ(main.visible().size(), 0u);
    press_key(key::Backspace);
    const std::u16string year = os::to_text(os::now().year());
    for (char16_t digit : year) press_key(key::digit(digit - u'0'));
    EXPECT_EQ(main.filter(), year);
    ASSERT_EQ(main.visible().size(), 1u);
    EXPECT_EQ(document->records().at(static_cast<size_t>(main.visible()[0])).path, note);

    // Down selects it, Enter plays it.
    env.set("QUILLON_AUDIO_PACE", "1");
    press_key(key::Down);
    press_key(key::Enter);
    frame();
    ASSERT_EQ(stack.top(), &playback);
    EXPECT_TRUE(document->is_playing());
    playback.seek_to(0.5);
    frame();
    auto* position = dynamic_cast<ProgressWidget*>(playback.find_child(u"pbPosition"));
    ASSERT_NE(position, nullptr);
    EXPECT_GE(position->value(), 0.45);

    // Renamed on the playback screen, the file takes the new title when the screen closes.
    tap(*playback.find_child(u"btnName"));
    ASSERT_TRUE(main.rename_dialog().is_shown());
    stack.on_text(u"Groceries");
    press_key(key::Enter);
    frame();
    EXPECT_EQ(stack.top(), &playback);
    press_key(key::Backspace);
    frame();
    EXPECT_EQ(stack.top(), &main);
    EXPECT_FALSE(is_listed(note));
    std::u16string groceries;
    for (size_t i = 0; i < document->records().size(); ++i) {
        const std::u16string& path = document->records().at(i).path;
        if (os::file_name_of(path).find(u"Groceries") != std::u16string::npos) groceries = path;
    }
    ASSERT_FALSE(groceries.empty());
    ASSERT_TRUE(std::filesystem::exists(os::to_utf8(groceries)));
    const double before = file_duration(groceries);
    EXPECT_GT(before, 0.8);

    // Continued from the playback menu: the recording screen takes over and the file grows.
    env.set("QUILLON_AUDIO_PACE", "0");
    const int row = row_of_path(main, groceries);
    ASSERT_GE(row, 0);
    main.activate_row(row);
    frame();
    ASSERT_EQ(stack.top(), &playback);
    tap(*playback.find_child(u"btnMenu"));
    Menu& menu = main.menu();
    ASSERT_TRUE(menu.is_shown());
    const int append = menu_index(menu, u"Append");
    ASSERT_GE(append, 0);
    menu.choose(static_cast<size_t>(append));
    frame();
    ASSERT_TRUE(document->is_recording());
    EXPECT_EQ(stack.top(), &recording);
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 1.0; }));
    tap(*recording.find_child(u"btnClose"));
    frame();
    EXPECT_EQ(stack.top(), &main);
    EXPECT_GT(file_duration(groceries), before + 0.8);

    // Deleted from the playback menu after its confirmation: file and row are gone.
    main.activate_row(row_of_path(main, groceries));
    frame();
    tap(*playback.find_child(u"btnMenu"));
    menu.choose(static_cast<size_t>(menu_index(menu, u"Delete")));
    ASSERT_TRUE(menu.is_shown());
    const int confirm = menu_index(menu, u"Confirm");
    ASSERT_GE(confirm, 0);
    menu.choose(static_cast<size_t>(confirm));
    frame();
    EXPECT_EQ(stack.top(), &main);
    EXPECT_FALSE(std::filesystem::exists(os::to_utf8(groceries)));
    EXPECT_FALSE(is_listed(groceries));
    EXPECT_EQ(main.list().count(), static_cast<int32_t>(main.visible().size()));
    EXPECT_EQ(document->records().size(), 1u);
}

}  // namespace
