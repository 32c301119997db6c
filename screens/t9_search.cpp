#include "screens/t9_search.h"

#include <memory>

#include "lang/key_value_file.h"
#include "os/path.h"

namespace screens {

namespace {

constexpr std::u16string_view kSeparators = u" /:-.,;!?#*_=\\|(){}[]<>~`@$%^&\"'";

// Lower case one code unit at a time, so that positions in the lower-cased copy are positions in
// the shown text. Built once from the platform's case mapping; a character whose lower case is not
// a single code unit stays as it is.
class LowerTable {
public:
    LowerTable() {
        for (uint32_t c = 0; c < m_table.size(); ++c) m_table[c] = static_cast<char16_t>(c);
        for (uint32_t c = 0; c < 0xD800; ++c) {
            const char16_t original = static_cast<char16_t>(c);
            const std::u16string lowered = os::lower(std::u16string_view(&original, 1));
            if (lowered.size() == 1) m_table[c] = lowered[0];
        }
    }
    char16_t operator()(char16_t c) const { return m_table[c]; }

private:
    std::array<char16_t, 0x10000> m_table;
};

const LowerTable& lower_table() {
    static const auto table = std::make_unique<LowerTable>();
    return *table;
}

}  // namespace

bool T9KeyMap::load(std::u16string_view path) {
    const lang::KeyValueFile file = lang::read_key_value_file(path);
    if (!file.opened) return false;
    for (const auto& [key, value] : file.entries) {
        if (key.size() == 1) set(key[0], value);
    }
    return true;
}

void T9KeyMap::set(char16_t key, std::u16string_view characters) {
    if (key >= kKeys) return;
    m_characters[key] = std::u16string(characters);
    m_mapped[key] = true;
}

bool T9KeyMap::matches(char16_t key, char16_t lower_character) const {
    if (key >= kKeys || !m_mapped[key]) return key == lower_character;
    return m_characters[key].find(lower_character) != std::u16string::npos;
}

bool is_word_separator(char16_t c) { return kSeparators.find(c) != std::u16string_view::npos; }

char16_t to_lower_for_search(char16_t c) { return lower_table()(c); }

std::optional<size_t> t9_match(std::u16string_view filter, std::u16string_view text, const T9KeyMap& map) {
    const size_t n = filter.size();
    if (n == 0 || text.size() < n) return std::nullopt;
    const LowerTable& lower = lower_table();
    const size_t last_start = text.size() - n;
    for (size_t i = 0; i <= last_start; ++i) {
        if (text[i] == u' ') continue;
        if (i > 0 && !is_word_separator(text[i - 1])) continue;
        size_t k = 0;
        while (k < n && map.matches(filter[k], lower(text[i + k]))) ++k;
        if (k == n) return i;
    }
    return std::nullopt;
}

}  // namespace screens
