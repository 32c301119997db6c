#pragma once
// The language of the program's texts: the table loaded from one "*.lng" file beside the program,
// the look-up that every shown text passes through, the start-up choice and the user's choice from
// the Language menu. Listeners hear of every table that replaces the current one, so the skin and
// every screen look their texts up anew at once.
//
// Lives on the GUI thread.
#include <string>
#include <string_view>
#include <vector>

#include "lang/key_value_file.h"

namespace lang {
// The settings key of the program and the value that keeps the chosen file's base name.
inline constexpr std::u16string_view kSettingsKey = u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch";
inline constexpr std::u16string_view kLanguageValue = u"Language";
inline constexpr std::u16string_view kLanguageExtension = u".lng";
}  // namespace lang

class Language;

class LanguageListener {
public:
    virtual ~LanguageListener() = default;
    // A new table replaced the current one.
    virtual void on_language_changed(const Language& language) = 0;
};

class Language {
public:
    // folder: where the "*.lng" files are (path macros allowed); the program's own folder by default.
    explicit Language(std::u16string folder = u"%app_path%");
    Language(const Language&) = delete;
    Language& operator=(const Language&) = delete;

    // Parses the file into a fresh table. When the file can be read the table replaces the current
    // one (an empty file gives an empty table), the path is remembered and listeners are told;
    // otherwise table and path stay. Returns whether the table was replaced.
    bool load(std::u16string_view path);

    // The value for key, or the key itself.
    std::u16string translate(std::u16string_view key) const;
    // The value for key, or fallback.
    std::u16string translate(std::u16string_view key, std::u16string_view fallback) const;

    const lang::TextTable& table() const { return m_table; }
    // The full path of the loaded file; empty before the first load.
    const std::u16string& path() const { return m_path; }
    // The loaded file's name without folder and ".lng"; empty before the first load.
    std::u16string name() const;
    // The folder searched for language files, macros expanded.
    std::u16string folder() const;

    // The start-up order, first success wins: the "Language" setting, the user's language from the
    // environment's locale through the language-name table, "english", then every "*.lng" of the
    // folder in name order. Writes nothing. False when no file could be loaded.
    bool load_startup_language();
    // The same with the setting and the system language name given (empty: none).
    bool load_startup_language(std::u16string_view setting, std::u16string_view system_name);

    // The "*.lng" files of the folder, full paths in name order.
    std::vector<std::u16string> files() const;
    // True when the folder holds more than one language file: only then is there a choice to offer.
    bool has_choice() const;

    // The user's choice of the file with this base name: loads it, stores the name in the setting
    // and tells the listeners. Choosing the file already loaded, or one that cannot be loaded or
    // whose name is not a plain file name, changes and writes nothing.
    bool choose(std::u16string_view name);

    void add_listener(LanguageListener* listener);
    void remove_listener(LanguageListener* listener);

private:
    // The path of the language file with this base name in the folder: the exact name, else the
    // one that differs only in letter case; empty when there is none or the name is not plain.
    std::u16string find_file(std::u16string_view name) const;
    void notify();

    std::u16string m_folder;
    lang::TextTable m_table;
    std::u16string m_path;
    std::vector<LanguageListener*> m_listeners;
};

namespace lang {

// A base name that names a file in the folder itself: not empty, no separator, not "." or "..".
bool is_plain_language_name(std::u16string_view name);

// The two-line message shown when no language file can be loaded, in English and in Russian,
// each line ending in a line end.
std::u16string no_language_message();
// Writes that message to standard error and the log, for a start without a window to show it in.
void report_no_language();

}  // namespace lang
