// What the rows of the main list say (title or caller, direction, length, date in the user's
// locale), the line of an empty list, the typed keys of the search and the letters of a desktop
// keyboard.
#include <gtest/gtest.h>

#include <cmath>
#include <set>

#include "document/document.h"
#include "document/record_entry.h"
#include "document/record_files.h"
#include "lang/language.h"
#include "os/date_time.h"
#include "os/text.h"
#include "screens/main_screen.h"
#include "screens/record_row_text.h"
#include "skin/key_event.h"
#include "skin/text_widget.h"
#include "tests/screens/main_screen_fixture.h"

namespace {

using screen_test::MainScreenFixture;
using screens::row_texts;
using screens::RowWords;

const os::DateTime kNow(2026, 12, 8, 21, 40, 5);

RecordEntry entry_of(std::u16string path, std::u16string artist, std::u16string title, double seconds,
                     const os::DateTime& date) {
    RecordEntry entry;
    entry.path = std::move(path);
    entry.artist = std::move(artist);
    entry.title = std::move(title);
    entry.duration = seconds;
    entry.date = date;
    entry.valid = true;
    return entry;
}

// The locale is process-wide: every test leaves the environment's again.
class RowTextTest : public ::testing::Test {
protected:
    void TearDown() override { os::set_locale(""); }
};

TEST_F(RowTextTest, LengthsReadAsMinutesAndHours) {
    EXPECT_EQ(screens::length_text(0), u"0:00");
    EXPECT_EQ(screens::length_text(7.9), u"0:07");
    EXPECT_EQ(screens::length_text(151), u"2:31");
    EXPECT_EQ(screens::length_text(3599.99), u"59:59");
    EXPECT_EQ(screens::length_text(3723), u"1:02:03");
    EXPECT_EQ(screens::length_text(36000), u"10:00:00");
    // What a broken file may report never shows as nonsense.
    EXPECT_EQ(screens::length_text(-3), u"0:00");
    EXPECT_EQ(screens::length_text(std::nan("")), u"0:00");
}

TEST_F(RowTextTest, DatesAreTodayYesterdayOrTheLocalesShortDate) {
    os::set_locale("en_GB");
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 12, 8, 14, 32, 10), kNow, u"Today", u"Yesterday"), u"Today 14:32");
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 12, 7, 23, 59, 59), kNow, u"Today", u"Yesterday"), u"Yesterday");
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 12, 6, 10, 0, 0), kNow, u"Today", u"Yesterday"), u"06/12/2026");
    // Across the turn of a year and of a month.
    const os::DateTime new_year(2027, 1, 1, 0, 5, 0);
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 12, 31, 22, 0, 0), new_year, u"Today", u"Yesterday"), u"Yesterday");
    EXPECT_EQ(screens::when_text(os::DateTime(2025, 12, 31, 22, 0, 0), new_year, u"Today", u"Yesterday"),
              u"31/12/2025");
    os::set_locale("ru_RU");
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 12, 8, 9, 5, 0), kNow, u"Сегодня", u"Вчера"), u"Сегодня 09:05");
    EXPECT_EQ(screens::when_text(os::DateTime(2026, 11, 30, 9, 5, 0), kNow, u"Сегодня", u"Вчера"), u"30.11.2026");
}

TEST_F(RowTextTest, VoiceNotesCallsAndARecordingInEnglishAndRussian) {
    os::set_locale("en_GB");
    const RowWords english{u"Today", u"Yesterday", u"Incoming call", u"Outgoing call", u"Recording now"};
    const std::u16string folder = u"/home/u/Documents/My Quillon";

    // A voice note: its title, then length and date instead of "Record" again.
    const RecordEntry note = entry_of(folder + u"/Record 8 December.mp3", u"Record", u"8 December 2026 14:32:10", 151,
                                      os::DateTime(2026, 12, 8, 14, 32, 10));
    auto texts = row_texts(note, false, kNow, english);
    EXPECT_EQ(texts.title, u"8 December 2026 14:32:10");
    EXPECT_EQ(texts.details, u"2:31 · Today 14:32");
    EXPECT_FALSE(texts.title_is_artist);
    EXPECT_FALSE(texts.details_start_with_artist);

    // A call with a contact: the caller's name on top, the direction under it.
    const RecordEntry contact = entry_of(folder + u"/Incoming/Alice Walker 7 December.mp3", u"Alice Walker",
                                         u"7 December 2026 18:00:00", 42, os::DateTime(2026, 12, 7, 18, 0, 0));
    texts = row_texts(contact, false, kNow, english);
    EXPECT_EQ(texts.title, u"Alice Walker");
    EXPECT_TRUE(texts.title_is_artist);
    EXPECT_EQ(texts.details, u"Incoming call · 0:42 · Yesterday");

    // A call with only a number, on a card, past an hour long.
    const RecordEntry number =
        entry_of(u"/media/u/SD/Documents/My Quillon/Outgoing/+44 20 7946 0958 1 December.mp3", u"+44 20 7946 0958",
                 u"1 December 2026 08:00:00", 3723, os::DateTime(2026, 12, 1, 8, 0, 0));
    texts = row_texts(number, false, kNow, english);
    EXPECT_EQ(texts.title, u"+44 20 7946 0958");
    EXPECT_EQ(texts.details, u"Outgoing call · 1:02:03 · 01/12/2026");

    // A file being recorded says so where its length will stand.
    texts = row_texts(note, true, kNow, english);
    EXPECT_EQ(texts.details, u"Recording now · Today 14:32");

    // A file another program made keeps its artist, where the search can mark it.
    const RecordEntry song = entry_of(folder + u"/song.mp3", u"The Band", u"", 200, os::DateTime(2026, 1, 2, 3, 4, 5));
    texts = row_texts(song, false, kNow, english);
    EXPECT_EQ(texts.title, u"song");
    EXPECT_EQ(texts.details, u"The Band · 3:20 · 02/01/2026");
    EXPECT_TRUE(texts.details_start_with_artist);

    os::set_locale("ru_RU");
    const RowWords russian{u"Сегодня", u"Вчера", u"Входящий звонок", u"Исходящий звонок", u"Идёт запись"};
    EXPECT_EQ(row_texts(note, false, kNow, russian).details, u"2:31 · Сегодня 14:32");
    EXPECT_EQ(row_texts(contact, false, kNow, russian).details, u"Входящий звонок · 0:42 · Вчера");
    EXPECT_EQ(row_texts(number, false, kNow, russian).details, u"Исходящий звонок · 1:02:03 · 01.12.2026");
    EXPECT_EQ(row_texts(note, true, kNow, russian).details, u"Идёт запись · Сегодня 14:32");
    // A call without a name or number is named by its title, not by the voice note's word.
    const RecordEntry unknown = entry_of(folder + u"/Incoming/Record 8 December.mp3", u"Record",
                                         u"8 December 2026 10:00:00", 5, os::DateTime(2026, 12, 8, 10, 0, 0));
    EXPECT_EQ(row_texts(unknown, false, kNow, russian).title, u"8 December 2026 10:00:00");
}

TEST_F(RowTextTest, TheVoiceNotesArtistIsNotSearched) {
    const std::u16string folder = u"/home/u/Documents/My Quillon";
    EXPECT_EQ(screens::searchable_artist(entry_of(folder + u"/a.mp3", u"Record", u"x", 1, kNow)), u"");
    EXPECT_EQ(screens::searchable_artist(entry_of(folder + u"/a.mp3", u"The Band", u"x", 1, kNow)), u"The Band");
    EXPECT_EQ(screens::searchable_artist(entry_of(folder + u"/Incoming/a.mp3", u"Bob", u"x", 1, kNow)), u"Bob");
}

class RecordRowsTest : public MainScreenFixture {
protected:
    std::u16string text_of(Widget* row, std::u16string_view id) { return row->find_child(id)->text(); }
};

TEST_F(RecordRowsTest, RowsShowLengthDateAndCallerAndFollowARecording) {
    os::set_locale("en_GB");
    add_record(main_folder, "Bob");
    add_record(main_folder + "/Incoming", "Carl");
    MainScreen& screen = open_screen();
    // The files were made a moment ago: "Today" by the injected clock, "Yesterday" a day later.
    const os::DateTime made = document->records().at(0).date;
    screen.set_clock([made] { return made; });
    screen.list().refresh_all();
    frame();
    ASSERT_EQ(screen.list().count(), 2);
    std::set<std::u16string> details;
    for (int32_t row = 0; row < 2; ++row) details.insert(text_of(screen.list().row_for(row), u"artist"));
    const std::u16string today = u"Today " + os::format_time(made, false);
    EXPECT_TRUE(details.count(u"0:00 · " + today)) << os::to_utf8(*details.begin());
    EXPECT_TRUE(details.count(u"Incoming call · 0:00 · " + today)) << os::to_utf8(*details.rbegin());

    screen.set_clock([made] { return os::DateTime::from_file_time(made.file_time() + 864'000'000'000); });
    screen.list().refresh_all();
    frame();
    EXPECT_EQ(text_of(screen.list().row_for(1), u"artist").substr(0, 9), u"0:00 · Ye");

    // A voice note being recorded says so; once stopped, its row gives its length from the file.
    tap(*screen.find_child(u"btnRecord"));
    ASSERT_TRUE(document->is_recording());
    const std::u16string recorded = document->current_record().path;
    frame();
    const int32_t row = document->records().find(recorded);
    ASSERT_GE(row, 0);
    EXPECT_NE(text_of(screen.list().row_for(row), u"artist").find(u"Recording now"), std::u16string::npos);
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.5; }));
    document->stop();
    frame();
    const std::u16string after = text_of(screen.list().row_for(document->records().find(recorded)), u"artist");
    EXPECT_EQ(after.find(u"Recording now"), std::u16string::npos) << os::to_utf8(after);
    EXPECT_GT(document->records().at(static_cast<size_t>(document->records().find(recorded))).duration, 0.0)
        << os::to_utf8(recorded) << " " << record_entry(recorded).duration;
}

TEST_F(RecordRowsTest, SevenDoesNotFindEveryVoiceNote) {
    add_record(main_folder, "Bob");
    MainScreen& screen = open_screen();
    tap(*screen.find_child(u"btnRecord"));
    ASSERT_TRUE(document->is_recording());
    ASSERT_TRUE(run_until([&] { return document->duration().total() >= 0.2; }));
    document->stop();
    ASSERT_TRUE(document->set_title(u"Zed note"));
    const int32_t note = document->records().find(document->current_record().path);
    ASSERT_GE(note, 0);
    ASSERT_EQ(document->records().at(static_cast<size_t>(note)).artist, u"Record");
    screen.reset_search();
    EXPECT_EQ(screen.list().count(), 2);

    // "Record" is on 7-3-2: it finds neither the note nor Bob.
    press_key(key::digit(7));
    EXPECT_EQ(screen.list().count(), 0);
    press_key(key::Backspace);
    press_key(key::digit(9));
    EXPECT_EQ(shown_names(screen), (std::set<std::u16string>{u"Zed note"}));
}

}  // namespace
