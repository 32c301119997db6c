#pragma once
// The device's programmable buttons that can start a quick recording, and assigning one of them
// to this program. Two platform kinds stand behind one interface: where the desktop keeps GNOME's
// media-keys settings (GNOME, Phosh), a few candidate keys are the buttons and assigning writes a
// custom keybinding; elsewhere the buttons are the sub-keys of the shell's button key in our
// registry database. With neither, there are no buttons.
//
// Platform errors are not reported: a list read after a failed change shows what the platform
// holds.
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace os {

struct HardwareButton {
    // Where the platform keeps the button: the registry key, or the key's accelerator.
    std::u16string location;
    std::u16string name;
    // The command line the button runs now, and the one to put back when it is taken back.
    std::u16string command;
    std::u16string reset_command;
    // The icon's source as the platform names it (a file with an icon index, or an icon name);
    // empty when none.
    std::u16string icon;
    // What the key runs now as the user knows it: the shortcut's name where the platform keeps
    // one, else its command; empty when it runs nothing.
    std::u16string shortcut;
    // The key starts a quick recording of this program: its command runs this program with
    // "record", or it is an entry this program made.
    bool assigned = false;

    // The key runs something this program did not put there: taking it needs the user's word.
    bool runs_something_else() const { return !assigned && !command.empty(); }
};

class HardwareButtons {
public:
    virtual ~HardwareButtons() = default;
    // Above 0 when there is anything to choose from (the Settings menu then offers it).
    virtual size_t count_buttons() = 0;
    virtual std::vector<HardwareButton> list_buttons() = 0;
    // Logs "assign:" and the command; the button then runs `command` and keeps its old command to
    // restore.
    virtual void assign(HardwareButton& button, std::u16string_view command) = 0;
    // Puts back the command the button ran before it was assigned.
    virtual void unassign(HardwareButton& button) = 0;
};

// The platform kind of this desktop, or one that lists no buttons.
std::unique_ptr<HardwareButtons> make_hardware_buttons();

// The command line a button runs to start a quick recording: the program's full path in double
// quotes, a space and "record". Characters that a command-line parser would take for quoting or
// expansion are escaped with a backslash.
std::u16string quick_record_command();

// Whether a command line runs this program with the word "record" and nothing else: its first word,
// unquoted, is this program's file or "quillon-touch" in this program's folder (a reinstall to the
// same place keeps its key). Another program in the same folder ("/usr/bin") is never ours.
bool is_quick_record_command(std::u16string_view command);
// The words of a command line with its quoting undone, as a POSIX shell-style parser splits them.
std::vector<std::u16string> command_words(std::u16string_view command);

// The options screen's rule for a tapped button: an unassigned one is assigned the quick-record
// command and every other assigned button is taken back; an assigned one is taken back (with any
// other). At most one button starts the program afterwards.
void choose_button(HardwareButtons& platform, std::vector<HardwareButton>& buttons, size_t tapped);

}  // namespace os
