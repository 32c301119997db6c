#pragma once
// The registry kind of hardware buttons: every sub-key of the shell's button key in our registry
// database is one button ("Name", the default value as its command, "ResetCmd", "Icon").
#include "os/buttons/hardware_buttons.h"

namespace os {

class RegistryButtons final : public HardwareButtons {
public:
    static constexpr std::u16string_view keys_root = u"HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Shell\\Keys";

    size_t count_buttons() override;
    std::vector<HardwareButton> list_buttons() override;
    void assign(HardwareButton& button, std::u16string_view command) override;
    void unassign(HardwareButton& button) override;
};

// What assigning and taking back leave in a button, shared by the platform kinds: the old command
// is kept to restore, except when it starts this program too, so taking the button back never
// leaves it starting the program.
struct ButtonChange {
    std::u16string command;
    std::u16string reset_command;
};
ButtonChange assigned_change(const HardwareButton& button, std::u16string_view command);
ButtonChange unassigned_change(const HardwareButton& button);
// Sets `assigned` when the command runs this program to record, and `shortcut` to the command.
void recompute_assigned(HardwareButton& button);

}  // namespace os
