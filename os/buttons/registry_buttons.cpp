#include "os/buttons/registry_buttons.h"

#include "os/log.h"
#include "os/path.h"
#include "os/registry.h"

namespace os {

ButtonChange assigned_change(const HardwareButton& button, std::u16string_view command) {
    // Assigning an assigned button again must not lose what it ran before this program.
    if (button.assigned || is_quick_record_command(button.command))
        return {std::u16string(command), button.reset_command};
    return {std::u16string(command), button.command};
}

ButtonChange unassigned_change(const HardwareButton& button) {
    // A command to restore that starts this program (an earlier install's assignment) would keep
    // the button checked however often it is tapped: the button is left with no command instead.
    std::u16string restored = button.reset_command;
    if (is_quick_record_command(restored)) restored.clear();
    return {std::move(restored), button.command};
}

void recompute_assigned(HardwareButton& button) {
    button.assigned = is_quick_record_command(button.command);
    button.shortcut = button.command;
}

size_t RegistryButtons::count_buttons() {
    std::vector<std::u16string> names;
    reg_list_subkeys(keys_root, names);
    return names.size();
}

std::vector<HardwareButton> RegistryButtons::list_buttons() {
    std::vector<std::u16string> names;
    reg_list_subkeys(keys_root, names);
    std::vector<HardwareButton> buttons;
    for (const std::u16string& key_name : names) {
        HardwareButton button;
        button.location = std::u16string(keys_root) + u"\\" + key_name;
        if (!reg_read_string(button.location, u"Name", button.name) || button.name.empty()) button.name = key_name;
        reg_read_string(button.location, u"", button.command);
        reg_read_string(button.location, u"ResetCmd", button.reset_command);
        reg_read_string(button.location, u"Icon", button.icon);
        recompute_assigned(button);
        buttons.push_back(std::move(button));
    }
    return buttons;
}

void RegistryButtons::assign(HardwareButton& button, std::u16string_view command) {
    log() << u"assign:" << command << u"\n";
    const ButtonChange change = assigned_change(button, command);
    reg_write_string(button.location, u"ResetCmd", change.reset_command);
    reg_write_string(button.location, u"", change.command);
    reg_flush(u"HKEY_CURRENT_USER");
    reg_flush(u"HKEY_LOCAL_MACHINE");
    button.command = change.command;
    button.reset_command = change.reset_command;
    recompute_assigned(button);
}

void RegistryButtons::unassign(HardwareButton& button) {
    const ButtonChange change = unassigned_change(button);
    // The two swap, so the program's command is at hand should the user assign the button again.
    reg_write_string(button.location, u"ResetCmd", change.reset_command);
    reg_write_string(button.location, u"", change.command);
    reg_flush(u"HKEY_CURRENT_USER");
    reg_flush(u"HKEY_LOCAL_MACHINE");
    button.command = change.command;
    button.reset_command.clear();
    recompute_assigned(button);
}

}  // namespace os
