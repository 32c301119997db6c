#pragma once
// Reading of the tags that carry a recording's artist, title and album: the ID3v2 tag at the start
// of a file and the ID3v1 tag near its end. Both parsers read from a file whose size bounds every
// allocation, whatever sizes the tag claims.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

class InputFile;

struct Id3Frame {
    std::string id;
    std::vector<std::uint8_t> body;
};

struct Id3v2Tag {
    bool present = false;
    int version = 0;
    // Bytes of the whole tag, its 10-byte header included.
    std::int64_t size = 0;
    std::vector<Id3Frame> frames;

    const Id3Frame* find(std::string_view id) const;
    // The decoded text of the first frame with this identifier, empty when there is none.
    std::u16string text(std::string_view id) const;
};

struct Id3v1Tag {
    bool present = false;
    std::u16string title;
    std::u16string artist;
    std::u16string album;
    std::u16string year;
    std::u16string comment;
    int track = 0;  // 0 when the comment has no track number
    int genre = 255;
};

// Reads the ID3v2 tag at the start of the file; present is false when there is none.
Id3v2Tag read_id3v2(InputFile& file);
// Reads the last ID3v1 tag found in the final 1,000 bytes of the file.
Id3v1Tag read_id3v1(InputFile& file);

// Text of a text-frame body. The first byte names the encoding: 0 ISO-8859-1, 1 UTF-16 with a
// byte-order mark, 2 UTF-16 big-endian, 3 UTF-8. The text ends at its first 0 character.
std::u16string decode_id3_text(const std::uint8_t* body, std::size_t size);

struct RecordTags {
    std::u16string artist;
    std::u16string title;
    std::u16string album;
};

// Artist ("TPE1"), title ("TIT2") and album ("TALB") of a recording; what the ID3v2 tag lacks is
// taken from an ID3v1 tag. Files without tags give empty texts.
RecordTags read_record_tags(const std::u16string& path);
