#include "lang/language_menu.h"

#include "lang/language.h"
#include "os/path.h"

namespace lang {

std::vector<LanguageMenuItem> language_menu(const Language& language) {
    std::vector<LanguageMenuItem> items;
    const std::u16string current = os::lower(language.name());
    for (const std::u16string& path : language.files()) {
        const std::u16string name = os::title_of(path);
        items.push_back({std::u16string(kChooseLanguagePrefix) + name, name, u"",
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
