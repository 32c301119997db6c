#pragma once
// The GNOME kind of hardware buttons (GNOME, Phosh): a few candidate keys, assigned through custom
// keybindings in the media-keys settings. What a key ran before is kept in our registry under
// "HKEY_CURRENT_USER\Software\Korvel\Quillon Touch\HardwareKeys\" + the key's accelerator.
#include <memory>

#include "os/buttons/hardware_buttons.h"

namespace os {

// Null when this desktop has no media-keys settings (their schemas are not installed, or GLib has
// nowhere to keep settings, so nothing written would last).
std::unique_ptr<HardwareButtons> make_gnome_buttons();

// Whether a key of GNOME's custom keybindings starts quick recordings now. Where one does, the
// portal's global shortcut is not bound as well: one press would then pause what it started.
bool gnome_key_assigned();

// Whether two accelerators name the same key ("<Ctrl><Alt>R" and "<Alt><Control>r" do).
bool same_accelerator(std::u16string_view a, std::u16string_view b);

}  // namespace os
