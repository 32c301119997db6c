// The main screen on the shipped skin, driven through its buttons, keys and the document's events:
// the search, the rows it shows, deleting and moving exactly what is visible, and the hand-overs.
#include "screens/main_screen.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <set>

#include "document/document.h"
#include "os/path.h"
#include "os/text.h"
#include "skin/key_event.h"
#include "tests/screens/main_screen_fixture.h"

namespace {

namespace fs = std::filesystem;
using screen_test::MainScreenFixture;

class MainScreenTest : public MainScreenFixture {};

TEST_F(MainScreenTest, RowsFollowInsertionsDeletionsAndChanges) {
    add_record(main_folder, "Bob");
    add_record(main_folder, "Olga");
    add_record(main_folder, "Carl");
    MainScreen& screen = open_screen();
    press_key(key::digit(2));  // Bob and Carl
    ASSERT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob", u"Carl"}));

    // A record that the search hides goes away: no row changes, the rows still show their records.
    EXPECT_TRUE(document->remove_record(path_of("Olga")));
    EXPECT_EQ(screen.list().count(), 2);
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob", u"Carl"}));

    // The next scan finds a new file: a row only when the search lets it through.
    const std::string dora = add_file(main_folder, "Dora");
    const std::string ben = add_file(main_folder, "Ben");
    document->load_secondary_things();
    ASSERT_TRUE(run_until([&] { return !document->is_scanning(); }));
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Bob", u"Carl", u"Ben"}));

    // A shown record deleted by another program: the tap reports it, nothing else happens.
    fs::remove(path_of("Carl"));
    const int32_t carl = row_named(screen, u"Carl");
    ASSERT_GE(carl, 0);
    screen.activate_row(carl);
    EXPECT_TRUE(screen.error_dialog().is_shown());
    EXPECT_EQ(screen.error_dialog().message(), language.translate(u"Sorry_cannot_open_file"));
    screen.error_dialog().close();
    EXPECT_EQ(playbacks, 0);
}

TEST_F(MainScreenTest, DeleteTakesExactlyTheVisibleRecordsAfterOneConfirmation) {
    add_record(main_folder, "Bob");
    add_record(main_folder, "the cat");
    add_record(main_folder, "Zed");
    MainScreen& screen = open_screen();
    press_key(key::digit(2));
    screen.ask_delete_visible();
    EXPECT_EQ(screen.confirmation().question(), u"Recordings to delete: 2. Delete them?");
    // The question starts on Cancel: a stray Enter deletes nothing.
    EXPECT_EQ(screen.confirmation().key_focus(), screen.confirmation().find_child(u"btnCancel"));
    press_key(key::Enter);
    EXPECT_FALSE(screen.confirmation().is_shown());
    EXPECT_TRUE(fs::exists(path_of("Bob")));
    screen.ask_delete_visible();
    press_key(key::Right);
    EXPECT_EQ(screen.confirmation().key_focus(), screen.confirmation().find_child(u"btnOk"));
    press_key(key::Enter);
    EXPECT_FALSE(fs::exists(path_of("Bob")));
    EXPECT_FALSE(fs::exists(path_of("the cat")));
    EXPECT_TRUE(fs::exists(path_of("Zed")));
    EXPECT_FALSE(screen.is_search_open());
    EXPECT_EQ(document->records().size(), 1u);
    EXPECT_EQ(screen.list().count(), 1);

    // Without a search: everything, after the one question.
    add_record(main_folder, "Eve");
    screen.ask_delete_visible();
    EXPECT_EQ(screen.confirmation().question(), u"Recordings to delete: 2. Delete them?");
    tap(*screen.confirmation().find_child(u"btnOk"));
    EXPECT_EQ(document->records().size(), 0u);
    EXPECT_EQ(screen.list().count(), 0);
    EXPECT_FALSE(screen.error_dialog().is_shown());
}

TEST_F(MainScreenTest, RecordsThatCannotBeDeletedStayAndAreReported) {
    add_record(main_folder, "Bob");
    add_record(card_folder(), "Card one");
    add_record(card_folder(), "Card two");
    MainScreen& screen = open_screen();
    ASSERT_EQ(screen.list().count(), 3);
    make_undeletable(card_folder());

    screen.ask_delete_visible();
    press_key(key::Left);
    press_key(key::Enter);
    allow_deleting(card_folder());
    EXPECT_FALSE(fs::exists(path_of("Bob")));
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Card one", u"Card two"}));
    ASSERT_TRUE(screen.error_dialog().is_shown());
    EXPECT_EQ(screen.error_dialog().message(), language.translate(u"Sorry_cannot_delete_files"));
}

TEST_F(MainScreenTest, MoveTakesTheVisibleMainMemoryRecordsToTheLastStorage) {
    add_record(main_folder, "Bob");
    add_record(main_folder + "/Incoming", "Bill");
    add_record(main_folder, "Zed");
    const std::string card = card_folder();
    add_file(card, "Bob");  // already there: the moved one gets a name of its own
    add_record(card, "Bea");
    MainScreen& screen = open_screen();
    press_key(key::digit(2));
    ASSERT_TRUE(screen.can_move_visible());

    EXPECT_EQ(screen.move_visible(), 2);
    EXPECT_FALSE(screen.error_dialog().is_shown());
    EXPECT_FALSE(fs::exists(main_folder + "/Bob.wav"));
    EXPECT_FALSE(fs::exists(main_folder + "/Incoming/Bill.wav"));
    EXPECT_TRUE(fs::exists(main_folder + "/Zed.wav"));
    EXPECT_TRUE(fs::exists(card + "/Incoming/Bill.wav"));
    EXPECT_TRUE(fs::exists(card + "/Bob.wav"));
    EXPECT_TRUE(fs::exists(card + "/Bob~1.wav"));
    // The records follow their files, and their rows show them on the card.
    const RecordList& records = document->records();
    for (int32_t row = 0; row < screen.list().count(); ++row) {
        const RecordEntry& record = records.at(static_cast<size_t>(screen.visible()[static_cast<size_t>(row)]));
        EXPECT_TRUE(os::is_under(record.path, os::from_utf8(card))) << os::to_utf8(record.path);
        EXPECT_TRUE(fs::exists(os::to_utf8(record.path)));
    }
    // Nothing visible in main memory any more.
    EXPECT_FALSE(screen.can_move_visible());
}

TEST_F(MainScreenTest, AMoveThatFailsKeepsTheFileAndSaysSo) {
    add_record(main_folder + "/Outgoing", "Olga");
    const std::string card = card_folder();
    // The card's "Outgoing" cannot become a folder.
    write_bytes(card + "/Outgoing", "x");
    MainScreen& screen = open_screen();
    EXPECT_EQ(screen.move_visible(), 0);
    EXPECT_TRUE(fs::exists(main_folder + "/Outgoing/Olga.wav"));
    EXPECT_EQ(document->records().find(os::from_utf8(main_folder + "/Outgoing/Olga.wav")), 0);
    ASSERT_TRUE(screen.error_dialog().is_shown());
    EXPECT_EQ(screen.error_dialog().message(), language.translate(u"Sorry_cannot_move_files"));
}

}  // namespace
