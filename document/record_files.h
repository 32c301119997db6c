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

// The whole path of a recording stays below this many characters.
inline constexpr size_t max_record_path = 250;

// folder/title.extension with the title cut so the path stays short, the characters that cannot
// stand in a file name turned into spaces, and "~n" added until the name is free: an existing file
// is never overwritten.
std::u16string make_record_path(std::u16string_view title, std::u16string_view folder, std::u16string_view extension);
// Drops the control characters a title may not hold and turns a line feed into a space.
std::u16string clean_title(std::u16string_view title);

// "<long date> <time with seconds>" of the moment.
std::u16string record_title_of(const os::DateTime& moment);

// The frames of a new recording's tag, in their fixed order; the picture only when not empty.
void fill_new_record_tag(Id3Tag& tag, std::u16string_view artist, std::u16string_view title,
                         std::u16string_view album, const os::DateTime& moment, const std::vector<uint8_t>& picture);
// "07" for 7, "12" for 2012.
std::u16string two_digits(int value);

// Ends in ".mp3" or ".wav", in any letter case.
bool is_record_file(std::u16string_view path);
// Lies in main memory (under the documents folder, compared exactly).
bool is_in_main_memory(std::u16string_view path);
// "" for 0, "1023B", "1K", "1.5M".
std::u16string size_text(uint64_t bytes);
// The list entry of a file: size text, date and the tags; not valid when the file cannot be read.
RecordEntry record_entry(std::u16string_view path);
