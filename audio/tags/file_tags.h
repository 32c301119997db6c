#pragma once
// A recording's artist, title and album from whatever tags its file carries: ID3v2 (2.2, 2.3 and
// 2.4, unsynchronised as a whole, with an extended header or a footer), APEv2 and ID3v1 in MP3 and
// Musepack files, Vorbis comments in Ogg files, ID3v2 and LIST/INFO chunks in WAV files. The file's first
// bytes, not its name, say which kinds of tag it can hold. What the first tag lacks comes from the
// next one (ID3v2, then APE, then ID3v1).
#include <string>
#include <string_view>

#include "audio/mp3/id3_reader.h"

// Empty texts for a file without tags or one that cannot be read.
RecordTags read_file_tags(const std::u16string& path);

// Puts the title into the tags the file already carries (each of them, so no older title shows
// through), through the tag library; a file without tags gets its container's usual kind. False
// when the file could not be written; it is then as it was as far as the library can promise.
bool write_file_title(const std::u16string& path, std::u16string_view title);

// Whether the file carries a tag that our own ID3v2 writer does not keep whole: an APE tag, or an
// ID3v2 tag of another version than 2.3 and 2.4, or any tag of a file that is no MPEG audio.
bool has_foreign_tags(const std::u16string& path);
