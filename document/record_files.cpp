#include "document/record_files.h"

#include <algorithm>

#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/text.h"

namespace {
bool is_forbidden_in_name(char16_t c) {
    return c == u'<' || c == u'>' || c == u':' || c == u'"' || c == u'/' || c == u'\\' || c == u'|' || c == u'?' ||
           c == u'*';
}

bool is_control(char16_t c) { return c < 0x20 || c == 0x7F; }
}  // namespace

std::u16string make_record_path(std::u16string_view title, std::u16string_view folder, std::u16string_view extension) {
    const std::u16string suffix = u"." + std::u16string(extension);
    std::u16string name(title);
    const size_t length = os::join(folder, name + suffix).size();
    name.resize(length >= max_record_path ? 0 : std::min(name.size(), max_record_path - length));
    // A cut through a surrogate pair would leave half a character that no file system takes.
    if (!name.empty() && name.back() >= 0xD800 && name.back() <= 0xDBFF) name.pop_back();
    for (char16_t& c : name) {
        // Control characters cannot be typed back and break listings; they go the same way as the
        // characters the file system refuses.
        if (is_forbidden_in_name(c) || is_control(c)) c = u' ';
    }
    // "." and ".." alone (and names of dots) would name folders, not files.
    if (!name.empty() && std::all_of(name.begin(), name.end(), [](char16_t c) { return c == u'.'; })) {
        std::replace(name.begin(), name.end(), u'.', u' ');
    }
    std::u16string path = os::join(folder, name + suffix);
    for (long long n = 1; os::exists(path); ++n) {
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

void fill_new_record_tag(Id3Tag& tag, std::u16string_view artist, std::u16string_view title,
                         std::u16string_view album, const os::DateTime& moment, const std::vector<uint8_t>& picture) {
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

RecordEntry record_entry(std::u16string_view path) {
    RecordEntry entry;
    entry.path = os::strip_separator(os::expand_path(path));
    const os::FileInfo info(entry.path);
    if (!info.exists() || info.is_folder()) return entry;
    entry.size_text = size_text(info.full_size);
    entry.date = std::min(info.creation_time, info.last_write_time);
    const RecordTags tags = read_record_tags(entry.path);
    entry.artist = tags.artist;
    entry.title = tags.title;
    entry.album = tags.album;
    entry.valid = true;
    return entry;
}
