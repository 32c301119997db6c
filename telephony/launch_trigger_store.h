#pragma once
// Launch triggers kept in the registry database, so that the program that registers an
// entry and the publisher that honours it (another process) see the same list.
//
// The key keeps the platform's name for them, so stored triggers stay valid.
// Layout: "HKEY_LOCAL_MACHINE\Software\Quillon\Notifications" holds "Names" (the entry names, one
// per line); each entry is the key of that name below it with "Key", "Value", "Command Line"
// (strings) and "Flags", "Comparison", "Mask", "Target" (DWORDs).
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "telephony/launch_trigger.h"

namespace launch_trigger_store {

inline constexpr std::u16string_view root_key = u"HKEY_LOCAL_MACHINE\\Software\\Quillon\\Notifications";

// Adds or replaces the entry; existed tells which. False when the registry refused a write or the
// name cannot be stored (empty, or with a line break or a "\").
bool store(const LaunchTrigger& entry, bool& existed);
// True when an entry of that name was there and is gone.
bool remove(std::u16string_view name);
std::optional<LaunchTrigger> find(std::u16string_view name);
std::vector<LaunchTrigger> all();

}  // namespace launch_trigger_store
