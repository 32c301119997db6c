#include "lang/language_menu.h"

#include "lang/key_value_file.h"
#include "lang/language.h"
#include "os/path.h"

namespace lang {

namespace {
// A language reads best by the name its speakers give it ("Deutsch", not "german"); a file that
// does not give one is shown by its file name.
std::u16string own_name(const std::u16string& path, const std::u16string& file_name) {
    const KeyValueFile file = read_key_value_file(path);
    const auto found = file.entries.find(std::u16string(kLanguageNameKey));
    if (!file.opened || found == file.entries.end() || found->second.empty()) return file_name;
    return found->second;
}
}  // namespace

std::vector<LanguageMenuItem> language_menu(const Language& language) {
    std::vector<LanguageMenuItem> items;
    const std::u16string current = os::lower(language.name());
    for (const std::u16string& path : language.files()) {
        const std::u16string name = os::title_of(path);
        items.push_back({std::u16string(kChooseLanguagePrefix) + name, own_name(path, name), u"",
                         !language.path().empty() && os::lower(name) == current});
    }
    items.push_back({u"Cancel", u"", u"MenuElement", false});
    return items;
}

LanguageCommand fill_language_menu(Language& language, std::u16string_view command,
                                   std::vector<LanguageMenuItem>& items) {
    if (command == kLanguageCommand) {
        for (LanguageMenuItem& item : language_menu(language)) items.push_back(std::move(item));
        return LanguageCommand::Listed;
    }
    if (!command.starts_with(kChooseLanguagePrefix)) return LanguageCommand::NotMine;
    return language.choose(command.substr(kChooseLanguagePrefix.size())) ? LanguageCommand::Changed
                                                                         : LanguageCommand::Kept;
}

}  // namespace lang
