#include "document/record_files.h"

#include <algorithm>

#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "audio/readers/file_reader.h"
#include "audio/tags/file_tags.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/text.h"

namespace {
bool is_forbidden_in_name(char16_t c) {
    return c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' || c == u'\\' || c == u'|' || c == u'?' ||
           c == u'*';
}

bool is_control(char16_t c) { return c < 0x20 || c == 0x7F; }

// Marks that change the direction of the text around them: a name holding them can display as
// something else than it is ("txt.exe" shown as "exe.txt").
bool is_bidi_control(char16_t c) {
    return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0x200E || c == 0x200F || c == 0x061C;
}

// The no-break and fixed-width spaces some locales put into their time format (the narrow no-break
// space before "PM"): in a file name they look like spaces but cannot be typed as one.
bool is_unusual_space(char16_t c) {
    return c == 0x00A0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200A) || c == 0x202F || c == 0x205F || c == 0x3000;
}

std::u16string clean_name(std::u16string_view text) {
    std::u16string name;
    name.reserve(text.size());
    for (char16_t c : text) {
        if (is_bidi_control(c)) continue;
        // Control characters cannot be typed back and break listings; they go the same way as the
        // characters the file system refuses.
        name.push_back(is_forbidden_in_name(c) || is_control(c) || is_unusual_space(c) ? u' ' : c);
    }
    return name;
}

// Bytes of the character starting at `at` in UTF-8, and how many UTF-16 units it takes.
size_t utf8_bytes_at(std::u16string_view text, size_t at, size_t& units) {
    const char16_t c = text[at];
    units = 1;
    if (c < 0x80) return 1;
    if (c < 0x800) return 2;
    if (c >= 0xD800 && c <= 0xDBFF && at + 1 < text.size() && text[at + 1] >= 0xDC00 && text[at + 1] <= 0xDFFF) {
        units = 2;
        return 4;
    }
    return 3;
}

size_t utf8_size(std::u16string_view text) {
    size_t bytes = 0;
    for (size_t at = 0, units = 0; at < text.size(); at += units) bytes += utf8_bytes_at(text, at, units);
    return bytes;
}

// The longest start of text, cut between characters, that fits both limits.
std::u16string_view fitting_start(std::u16string_view text, size_t max_units, size_t max_bytes) {
    size_t at = 0, bytes = 0;
    while (at < text.size()) {
        size_t units = 0;
        const size_t size = utf8_bytes_at(text, at, units);
        if (at + units > max_units || bytes + size > max_bytes) break;
        at += units;
        bytes += size;
    }
    return text.substr(0, at);
}
}  // namespace

std::u16string make_record_path(std::u16string_view title, std::u16string_view folder, std::u16string_view extension,
                                size_t keep_tail, std::u16string_view own) {
    const std::u16string suffix = u"." + std::u16string(extension);
    const std::u16string cleaned = clean_name(title);
    // What must stay (the date and time that keep one caller's recordings apart) comes from the
    // end of the title; the cut takes characters from just before it.
    const size_t tail_start = cleaned.size() - std::min(keep_tail, cleaned.size());
    std::u16string_view head = std::u16string_view(cleaned).substr(0, tail_start);
    std::u16string_view tail = std::u16string_view(cleaned).substr(tail_start);
    const size_t base = os::join(folder, suffix).size();
    const size_t max_units = base >= max_record_path ? 0 : max_record_path - base;
    const size_t max_bytes = max_name_bytes - utf8_size(suffix) - collision_room_bytes;
    std::u16string name;
    if (cleaned.size() <= max_units && utf8_size(cleaned) <= max_bytes) {
        name = cleaned;
    } else {
        // The tail stays whole even where the path then passes the soft limit: Linux counts only
        // the bytes of each name, and a name without its date would collide with the next call.
        const size_t tail_bytes = utf8_size(tail);
        if (tail_bytes > max_bytes) tail = fitting_start(tail, tail.size(), max_bytes);
        const size_t head_units = max_units > tail.size() ? max_units - tail.size() : 0;
        head = fitting_start(head, head_units, max_bytes - utf8_size(tail));
        name = std::u16string(head) + std::u16string(tail);
    }
    // A name must not vanish nor hide: an empty one would be just the extension, and one starting
    // with a dot is hidden from listings (and "." or ".." would name folders).
    size_t dots = 0;
    while (dots < name.size() && name[dots] == u'.') ++dots;
    for (size_t i = 0; i < dots; ++i) name[i] = u'_';
    if (name.find_first_not_of(u' ') == std::u16string::npos) name = u"Record";
    std::u16string path = os::join(folder, name + suffix);
    for (long long n = 1; path != own && os::exists(path); ++n) {
        path = os::join(folder, name + u"~" + os::to_text(n) + suffix);
    }
    return path;
}

std::u16string clean_title(std::u16string_view title) {
    std::u16string out;
    out.reserve(title.size());
    for (char16_t c : title) {
        if (c == 0x000D || c == 0x001B || c == 0x1B0A) continue;
        out.push_back(c == 0x000A ? u' ' : c);
    }
    return out;
}

std::u16string record_title_of(const os::DateTime& moment) {
    return os::format_date(moment, true, true, true) + u" " + os::format_time(moment, true);
}

std::u16string two_digits(int value) {
    std::u16string text = os::to_text(value);
    if (text.size() == 1) return u"0" + text;
    return text.substr(text.size() - 2);
}

void fill_new_record_tag(Id3Tag& tag, std::u16string_view artist, std::u16string_view title, std::u16string_view album,
                         const os::DateTime& moment, const std::vector<uint8_t>& picture) {
    tag.set_text("TPE1", artist);
    tag.set_text("TIT2", title);
    tag.set_text("TALB", album);
    tag.set_text("TCON", u"Quillon Touch");
    tag.set_text("TYER", os::to_text(moment.year()));
    tag.set_text("TDAT", two_digits(moment.day()) + two_digits(moment.month()));
    if (!picture.empty()) tag.set_picture(picture);
}

bool is_record_file(std::u16string_view path) {
    if (path.size() < 4) return false;
    const std::u16string end = os::lower(path.substr(path.size() - 4));
    return end == u".mp3" || end == u".wav";
}

bool is_in_main_memory(std::u16string_view path) {
    const std::u16string documents = os::expand_path(u"%my_documents%");
    return path.substr(0, documents.size()) == documents;
}

std::u16string size_text(uint64_t n) {
    if (n == 0) return {};
    if (n <= 1023) return os::to_text_unsigned(n) + u"B";
    if (n > 1048575) {
        const uint64_t whole = n / 1048576;
        const uint64_t tenth = n * 10 / 1048576 - whole * 10;
        return os::to_text_unsigned(whole) + u"." + os::to_text_unsigned(tenth) + u"M";
    }
    return os::to_text_unsigned(n / 1024) + u"K";
}

RecordEntry record_entry(std::u16string_view path, bool require_reader, bool require_frames) {
    const os::FileInfo info(os::strip_separator(os::expand_path(path)));
    RecordEntry entry = record_entry_of_file(info);
    if (info.exists() && !info.is_folder()) read_record_information(entry, require_reader, require_frames);
    return entry;
}

RecordEntry record_entry_of_file(const os::FileInfo& info) {
    RecordEntry entry;
    entry.path = info.path;
    if (!info.exists() || info.is_folder()) return entry;
    entry.size_text = size_text(info.full_size);
    entry.date = std::min(info.creation_time, info.last_write_time);
    return entry;
}

void read_record_information(RecordEntry& entry, bool require_reader, bool require_frames) {
    // A file that no reader takes (a recording killed before its first frame holds only its tag)
    // cannot be played, so it is no record; one whose stream holds not one sample frame has
    // nothing to list.
    if (require_reader) {
        const std::unique_ptr<FileReader> reader = FileReader::open(entry.path);
        if (!reader || (require_frames && reader->info().length() <= 0)) return;
        // The reader is open anyway: its length costs nothing more here, and the list shows it.
        entry.duration = reader->info().duration();
    }
    const RecordTags tags = read_file_tags(entry.path);
    entry.artist = tags.artist;
    entry.title = tags.title;
    entry.album = tags.album;
    entry.valid = true;
}
