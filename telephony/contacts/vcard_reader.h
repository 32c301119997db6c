#pragma once
// A tolerant reader of vCard files (versions 2.1, 3.0 and 4.0): it takes what it needs (formatted
// name, phone numbers, inline picture) and skips what it cannot understand. Memory stays bounded
// whatever the bytes: an unfolded line longer than max_line_bytes is marked overflowed and the
// rest of it is dropped, and counts of cards and numbers are capped.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

struct VCard {
    std::u16string formatted_name;  // FN, else the given and family names of N; cut to 255 units
    std::vector<std::u16string> phones;
    bool has_photo = false;
    // The PHOTO property as written, kept only for the card asked for.
    std::string photo_parameters;
    std::string photo_value;
    bool photo_overflowed = false;
};

namespace vcard {

inline constexpr size_t max_line_bytes = 1 << 20;
inline constexpr size_t max_cards = 100000;
inline constexpr size_t max_phones_per_card = 1000;
// Files are read this far at most: an address book is never this large, junk may be.
inline constexpr size_t max_file_bytes = 64u << 20;

// Fills buffer with up to size bytes; 0 at the end.
using ByteSource = std::function<size_t(char* buffer, size_t size)>;

// Every card of the source, in order. The PHOTO of the card at index keep_photo_of is kept (-1:
// none; pictures are large and a search does not need them).
std::vector<VCard> read(const ByteSource& source, long keep_photo_of = -1);
std::vector<VCard> read_text(std::string_view bytes, long keep_photo_of = -1);
// False when the file cannot be opened.
bool read_file(const std::string& path, std::vector<VCard>& cards, long keep_photo_of = -1);

// The bytes of the card's inline picture (base64 with an ENCODING parameter, or a base64 data URI);
// empty when there is none, it is linked rather than inline, it cannot be decoded or it is larger
// than max_bytes.
std::vector<uint8_t> photo_bytes(const VCard& card, size_t max_bytes);

}  // namespace vcard
