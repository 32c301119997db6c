#pragma once
// Every language key that the program looks up: the texts of the shipped skins, the menu commands
// and captions, the dialogs, the error events and the start-up messages. A shipped language file
// must give a text for each; quillon-tool lang-check lists what a file lacks or has in excess.
//
// A key added to the skins or the screens belongs here too; the language tests check the skin
// sources against this table and every shipped language file against it.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "lang/key_value_file.h"

namespace lang {

struct TextKey {
    std::u16string_view key;
    std::u16string_view use;        // where the text appears, for translators
    std::u16string_view variables;  // the text variables the text must keep ("%count%"), or empty
};

std::span<const TextKey> text_keys();
const TextKey* find_text_key(std::u16string_view key);

// Keys of the table missing from entries, in table order.
std::vector<std::u16string> missing_keys(const TextTable& entries);
// Keys of entries the table does not know, in key order.
std::vector<std::u16string> unknown_keys(const TextTable& entries);
// Keys whose text lacks one of the variables the program replaces.
std::vector<std::u16string> keys_lacking_variables(const TextTable& entries);

}  // namespace lang
