#include "tests/telephony/fuzz/vcard_fuzz_entry.h"

#include <cstdlib>
#include <string_view>

#include "telephony/contacts/phone_number.h"
#include "telephony/contacts/vcard_reader.h"

namespace {
// The size the caller identification asks pictures to fit in.
constexpr size_t picture_limit = 256 * 1024;
}  // namespace

int vcard_fuzz_one(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const long keep = size == 0 ? -1 : static_cast<long>(data[0] % 4) - 1;
    const std::vector<VCard> cards = vcard::read_text(text, keep);
    for (const VCard& card : cards) {
        (void)vcard::photo_bytes(card, picture_limit);
        for (const std::u16string& phone : card.phones) {
            (void)dialled_number(phone);
            (void)phone_numbers_match(phone, u"+44 20 7946 0958");
            (void)phone_numbers_match(phone, card.phones.front());
        }
    }

    // Piece by piece, with the buffer boundaries falling anywhere: the same cards.
    const size_t piece = 1 + (size == 0 ? 0 : data[size - 1] % 7);
    size_t at = 0;
    const std::vector<VCard> again = vcard::read(
        [&](char* buffer, size_t wanted) {
            const size_t n = std::min({wanted, piece, size - at});
            std::copy(data + at, data + at + n, buffer);
            at += n;
            return n;
        },
        keep);
    if (again.size() != cards.size()) std::abort();
    for (size_t i = 0; i < cards.size(); ++i) {
        if (again[i].formatted_name != cards[i].formatted_name || again[i].phones != cards[i].phones ||
            again[i].photo_value != cards[i].photo_value) {
            std::abort();
        }
    }
    return 0;
}
