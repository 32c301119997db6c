#pragma once
// What a row of the main list says about a recording: its title or its caller, and under it the
// length and when it was made, so that a list of voice notes does not read "Record" twenty times.
//
//     RowWords words{u"Today", u"Yesterday", u"Incoming", u"Outgoing", u"Recording…"};
//     RowTexts texts = row_texts(record, false, os::now(), words);
//     // texts.title == u"Alice Walker", texts.details == u"Incoming · 2:31 · Today 14:32"
#include <string>
#include <string_view>

#include "os/date_time.h"

struct RecordEntry;

namespace screens {

// "0:07", "2:31", "1:02:03" past an hour; whole seconds, rounded down.
std::u16string length_text(double seconds);
// "Today 14:32" (the time in the locale's short form), "Yesterday", else the locale's short date.
std::u16string when_text(const os::DateTime& date, const os::DateTime& now, std::u16string_view today,
                         std::u16string_view yesterday);

// The words of the user's language a row is made of.
struct RowWords {
    std::u16string today;
    std::u16string yesterday;
    std::u16string incoming;
    std::u16string outgoing;
    std::u16string recording;
};

struct RowTexts {
    // The first line: the caller (name or number) of a call, else the title.
    std::u16string title;
    // The second line: the direction of a call, or the artist of a file another program made,
    // then the length (or that it is being recorded) and the date.
    std::u16string details;
    // Where the record's artist text stands, so a search hit in it can be marked there.
    bool title_is_artist = false;
    bool details_start_with_artist = false;
};

// The artist a voice note of this program carries: it says nothing and is not searched.
inline constexpr std::u16string_view voice_note_artist = u"Record";
// The artist text the search looks at: empty for a voice note's "Record".
std::u16string_view searchable_artist(const RecordEntry& record);
// The title, or the file's name for a file without one.
std::u16string_view title_of(const RecordEntry& record);

RowTexts row_texts(const RecordEntry& record, bool being_recorded, const os::DateTime& now, const RowWords& words);

}  // namespace screens
