#include "os/buttons/hardware_buttons.h"

#include "os/buttons/gnome_buttons.h"
#include "os/buttons/registry_buttons.h"
#include "os/path.h"

namespace os {
namespace {

// The program's path as a command line's first word: the characters special inside double quotes
// to a POSIX shell-style parser (GLib's, and the desktop-entry rules) are escaped.
std::u16string quoted(std::u16string_view path) {
    std::u16string out = u"\"";
    for (char16_t c : path) {
        if (c == u'"' || c == u'\\' || c == u'$' || c == u'`') out += u'\\';
        out += c;
    }
    return out + u"\"";
}

}  // namespace

std::unique_ptr<HardwareButtons> make_hardware_buttons() {
    if (std::unique_ptr<HardwareButtons> gnome = make_gnome_buttons()) return gnome;
    return std::make_unique<RegistryButtons>();
}

std::u16string quick_record_command() { return quoted(app_full_name()) + u" record"; }

std::vector<std::u16string> command_words(std::u16string_view command) {
    std::vector<std::u16string> words;
    size_t at = 0;
    for (;;) {
        while (at < command.size() && (command[at] == u' ' || command[at] == u'\t')) ++at;
        if (at >= command.size()) break;
        std::u16string word;
        char16_t quote = 0;
        for (; at < command.size(); ++at) {
            const char16_t c = command[at];
            if (quote == u'\'') {
                if (c == u'\'') {
                    quote = 0;
                } else {
                    word += c;
                }
            } else if (quote == u'"') {
                if (c == u'"') {
                    quote = 0;
                } else if (c == u'\\' && at + 1 < command.size()) {
                    word += command[++at];
                } else {
                    word += c;
                }
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u' ' || c == u'\t') {
                break;
            } else if (c == u'\\' && at + 1 < command.size()) {
                word += command[++at];
            } else {
                word += c;
            }
        }
        words.push_back(std::move(word));
    }
    return words;
}

bool is_quick_record_command(std::u16string_view command) {
    const std::vector<std::u16string> words = command_words(command);
    if (words.size() != 2 || words[1] != u"record") return false;
    return words[0] == app_full_name() || words[0] == join(program_folder(), u"quillon-touch");
}

void choose_button(HardwareButtons& platform, std::vector<HardwareButton>& buttons, size_t tapped) {
    if (tapped >= buttons.size()) return;
    const bool taking_back = buttons[tapped].assigned;
    if (!taking_back) platform.assign(buttons[tapped], quick_record_command());
    for (size_t i = 0; i < buttons.size(); ++i) {
        if ((i != tapped || taking_back) && buttons[i].assigned) platform.unassign(buttons[i]);
    }
}

}  // namespace os
