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

// The program a command line starts, with its quoting undone.
std::u16string first_word(std::u16string_view command) {
    std::u16string word;
    size_t at = 0;
    while (at < command.size() && (command[at] == u' ' || command[at] == u'\t')) ++at;
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
    return word;
}

}  // namespace

std::unique_ptr<HardwareButtons> make_hardware_buttons() {
    if (std::unique_ptr<HardwareButtons> gnome = make_gnome_buttons()) return gnome;
    return std::make_unique<RegistryButtons>();
}

std::u16string quick_record_command() { return quoted(app_full_name()) + u" record"; }

bool starts_program_from(std::u16string_view program_folder, std::u16string_view command) {
    if (!program_folder.empty() && (program_folder.front() == u'"' || program_folder.front() == u'\'')) {
        program_folder.remove_prefix(1);
    }
    while (program_folder.size() > 1 && program_folder.back() == u'/') program_folder.remove_suffix(1);
    if (program_folder.empty()) return true;
    const std::u16string program = first_word(command);
    if (program.empty()) return false;
    // A program in a sibling folder whose name merely begins the same ("/opt/q2" beside "/opt/q")
    // is another program.
    return program.size() > program_folder.size() && program.compare(0, program_folder.size(), program_folder) == 0 &&
           (program[program_folder.size()] == u'/' || program_folder == u"/");
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
