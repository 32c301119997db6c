#pragma once
// Names and tags of recordings: how a new file is named and tagged, which files count as
// recordings, and what a list entry says about a file.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "document/record_entry.h"
#include "os/date_time.h"

class Id3Tag;

// The whole path of a recording stays below this many characters where the title allows.
inline constexpr size_t max_record_path = 250;
// What Linux file systems take for one name, in bytes of its UTF-8 form.
inline constexpr size_t max_name_bytes = 255;
// Room kept in a name for the "~n" that a collision adds.
inline constexpr size_t collision_room_bytes = 8;

// folder/title.extension, with "~n" added until the name is free (an existing file is never
// overwritten). The characters that cannot stand in a file name become spaces, so do unusual
// spaces; direction marks are dropped. The title is cut between characters so that the name fits
// in 255 bytes with room for "~n" and the path stays below 250 characters, taking characters from
// before its last keep_tail characters, which stay. The name is never empty ("Record" then) and
// never starts with a dot (leading dots become "_"). The file at `own` (one being renamed) does not
// count as being in the way.
std::u16string make_record_path(std::u16string_view title, std::u16string_view folder, std::u16string_view extension,
                                size_t keep_tail = 0, std::u16string_view own = {});
// Drops the control characters a title may not hold and turns a line feed into a space.
std::u16string clean_title(std::u16string_view title);

// "<long date> <time with seconds>" of the moment.
std::u16string record_title_of(const os::DateTime& moment);

// The frames of a new recording's tag, in their fixed order; the picture only when not empty.
void fill_new_record_tag(Id3Tag& tag, std::u16string_view artist, std::u16string_view title, std::u16string_view album,
                         const os::DateTime& moment, const std::vector<uint8_t>& picture);
// "07" for 7, "12" for 2012.
std::u16string two_digits(int value);

// Ends in ".mp3" or ".wav", in any letter case.
bool is_record_file(std::u16string_view path);
// Lies in main memory (under the documents folder, compared exactly).
bool is_in_main_memory(std::u16string_view path);
// "" for 0, "1023B", "1K", "1.5M".
std::u16string size_text(uint64_t bytes);
// The list entry of a file: size text, date and the tags; not valid when the file cannot be read
// or no reader accepts it. A recording that has just begun has no audio yet: its entry is made
// without asking the readers. For the list (require_frames), a file whose stream holds not one
// sample frame (a WAV header without data, an Ogg file of headers only) is not valid either; it can
// still be opened on its own.
RecordEntry record_entry(std::u16string_view path, bool require_reader = true, bool require_frames = false);

namespace os {
struct FileInfo;
}
// The part of a list entry that the file's directory entry gives (path as looked up, size text,
// date); not valid when the path is missing or a folder.
RecordEntry record_entry_of_file(const os::FileInfo& info);
// Reads the tags of an entry made by record_entry_of_file and makes it valid when a reader takes
// the file (and, with require_frames, finds a sample frame in it).
void read_record_information(RecordEntry& entry, bool require_reader = true, bool require_frames = false);
