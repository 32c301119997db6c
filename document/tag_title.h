#pragma once
// Putting a recording's new title into the tags the file carries: an ID3v2.3 or ID3v2.4 tag at its
// start and an ID3v1 tag at its end. A tag with room (its padding) is rewritten in place; one that
// must grow is written with the audio into a new file beside the old one, which is made durable and
// then takes the old file's place in one step, so the audio is never at risk. An MP3 file without
// any tag gets an ID3v2.3 tag. Other files (WAV) carry no tag and are left alone.
#include <string>
#include <string_view>

// False when a tag could not be written (a file or folder that cannot be written, a full disk, a
// tag we cannot read); the file is then as it was.
bool rewrite_tag_title(const std::u16string& path, std::u16string_view title);
