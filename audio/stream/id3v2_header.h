#pragma once
// The header of an ID3v2 tag at the start of a file. MP3 files carry one for their tags, and other
// streams (Musepack among them) are found behind one too, so a reader that looks for its own
// signature first steps over it.
#include <cstdint>

class InputFile;

struct Id3v2Header {
    bool present = false;
    int version = 0;
    std::uint8_t flags = 0;
    // Bytes of the whole tag, its 10-byte header included.
    std::int64_t size = 0;
};

// Reads the 10-byte header at the start of the file and leaves the file just behind it; present is
// false when the file does not start with a well-formed one.
Id3v2Header read_id3v2_header(InputFile& file);
