#pragma once
// The Language part of the Settings menu: the list of language files to pick from and the choice
// of one. The menu provider of the main screen hands these two commands here and turns the items
// into its own menu rows.
#include <string>
#include <string_view>
#include <vector>

class Language;

namespace lang {

inline constexpr std::u16string_view kLanguageCommand = u"Language";
inline constexpr std::u16string_view kChooseLanguagePrefix = u"Language#";
// The key of a language file that names its language in that language ("Deutsch").
inline constexpr std::u16string_view kLanguageNameKey = u"Language_name";

struct LanguageMenuItem {
    std::u16string command;
    std::u16string text;  // empty: the row shows the language text of the command
    std::u16string node;  // the skin node drawing the row; empty for the menu's default
    bool checked = false;
};

// One item per language file in ascending path order: command "Language#" + base name, the
// file's own name for its language (or else the base name) as its text, checked for the loaded file (letter case
// ignored); then "Cancel", drawn with "MenuElement".
std::vector<LanguageMenuItem> language_menu(const Language& language);

enum class LanguageCommand {
    NotMine,  // neither "Language" nor "Language#…": another part of the menu handles it
    Listed,   // "Language": the items were appended
    Kept,     // "Language#…" naming the loaded file or one that cannot be loaded: nothing changed
    Changed,  // "Language#…": the new table is loaded and stored; the skin is to be reloaded
};

LanguageCommand fill_language_menu(Language& language, std::u16string_view command,
                                   std::vector<LanguageMenuItem>& items);

}  // namespace lang
