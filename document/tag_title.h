#pragma once
// Changing the title of a recording's ID3v2.3 tag in place: the tag keeps its size, so the audio
// behind it is never moved. A file without such a tag is left as it is.
#include <string>
#include <string_view>

// False when the file has no ID3v2.3 tag we can rewrite, or the new title does not fit.
bool rewrite_tag_title(const std::u16string& path, std::u16string_view title);
