#include "screens/record_row_text.h"

#include <cmath>

#include "document/document_face.h"
#include "os/text.h"

namespace screens {
namespace {

constexpr int64_t kFileTimePerDay = 864'000'000'000;  // 100-nanosecond steps
constexpr std::u16string_view kSeparator = u" · ";

bool same_day(const os::DateTime& a, const os::DateTime& b) {
    return a.year() == b.year() && a.month() == b.month() && a.day() == b.day();
}

void append_part(std::u16string& text, std::u16string_view part) {
    if (part.empty()) return;
    if (!text.empty()) text += kSeparator;
    text += part;
}

enum class Direction { None, Incoming, Outgoing };

// The folder the file lies in names the direction, as for the row's icon. Without copies: the
// search asks this of every voice note on every keystroke.
Direction direction_of(const RecordEntry& record) {
    std::u16string_view folder = record.path;
    const size_t name = folder.find_last_of(u"/\\");
    if (name == std::u16string_view::npos) return Direction::None;
    folder = folder.substr(0, name);
    const size_t start = folder.find_last_of(u"/\\");
    if (start != std::u16string_view::npos) folder.remove_prefix(start + 1);
    if (folder == u"Incoming") return Direction::Incoming;
    if (folder == u"Outgoing") return Direction::Outgoing;
    return Direction::None;
}

}  // namespace

std::u16string length_text(double seconds) {
    if (!std::isfinite(seconds) || seconds < 0) seconds = 0;
    const auto whole = static_cast<long long>(std::floor(seconds));
    const long long hours = whole / 3600;
    const long long minutes = whole / 60 % 60;
    const long long rest = whole % 60;
    auto two = [](long long value) { return (value < 10 ? u"0" : u"") + os::to_text(value); };
    if (hours > 0) return os::to_text(hours) + u":" + two(minutes) + u":" + two(rest);
    return os::to_text(minutes) + u":" + two(rest);
}

std::u16string when_text(const os::DateTime& date, const os::DateTime& now, std::u16string_view today,
                         std::u16string_view yesterday) {
    if (same_day(date, now)) return std::u16string(today) + u" " + os::format_time(date, false);
    if (same_day(date, os::DateTime::from_file_time(now.file_time() - kFileTimePerDay))) {
        return std::u16string(yesterday);
    }
    return os::format_date(date, false, true, true);
}

std::u16string_view searchable_artist(const RecordEntry& record) {
    if (record.artist != voice_note_artist) return record.artist;
    if (direction_of(record) == Direction::None) return {};
    return record.artist;
}

std::u16string_view title_of(const RecordEntry& record) {
    if (!record.title.empty()) return record.title;
    std::u16string_view name = record.path;
    const size_t cut = name.find_last_of(u"/\\");
    if (cut != std::u16string_view::npos) name.remove_prefix(cut + 1);
    const size_t dot = name.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) name = name.substr(0, dot);
    return name;
}

RowTexts row_texts(const RecordEntry& record, bool being_recorded, const os::DateTime& now, const RowWords& words) {
    RowTexts texts;
    const Direction direction = direction_of(record);
    // A call made without a name or a number carries the voice note's artist: it names nobody.
    const bool names_party =
        direction != Direction::None && !record.artist.empty() && record.artist != voice_note_artist;
    if (names_party) {
        texts.title = record.artist;
        texts.title_is_artist = true;
    } else {
        texts.title = title_of(record);
    }
    if (direction == Direction::Incoming) {
        append_part(texts.details, words.incoming);
    } else if (direction == Direction::Outgoing) {
        append_part(texts.details, words.outgoing);
    } else if (!searchable_artist(record).empty()) {
        append_part(texts.details, record.artist);
        texts.details_start_with_artist = true;
    }
    append_part(texts.details, being_recorded ? std::u16string_view(words.recording) : length_text(record.duration));
    append_part(texts.details, when_text(record.date, now, words.today, words.yesterday));
    return texts;
}

}  // namespace screens
