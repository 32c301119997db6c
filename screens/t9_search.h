#pragma once
// The search of the main list: keys typed on the numeric keyboard stand for runs of letters (from
// "keyboard.txt", "2=2abc…"), and a record matches when a word of its text starts with letters
// the typed keys stand for, one letter per key.
//
//     T9KeyMap map;
//     map.load(u"%app_path%/keyboard.txt");
//     auto at = t9_match(u"28", u"the cat", map);   // 4: "ca" starts the second word
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace screens {

class T9KeyMap {
public:
    // Reads the key-value file; a missing or unreadable file leaves every key standing for
    // itself. False when the file could not be read.
    bool load(std::u16string_view path);
    // Each key of the text maps to the characters of its value (lower case as the file gives them).
    void set(char16_t key, std::u16string_view characters);
    // Whether `key` stands for the (lower-cased) character.
    bool matches(char16_t key, char16_t lower_character) const;

private:
    // The keyboard has twelve keys; a map keyed by character would cost a look-up per letter of
    // every record on each keystroke.
    static constexpr size_t kKeys = 128;
    std::array<std::u16string, kKeys> m_characters;
    std::array<bool, kKeys> m_mapped{};
};

// A character after which a word begins.
bool is_word_separator(char16_t c);
// The lower-case form used for matching (the letters of every language shipped).
char16_t to_lower_for_search(char16_t c);
// Where the filter matches the start of a word of text, the first such place; none for an empty
// filter or one longer than the text.
std::optional<size_t> t9_match(std::u16string_view filter, std::u16string_view text, const T9KeyMap& map);

}  // namespace screens
