#pragma once
// The folder of the start-up lock and the command socket. Whoever can write there can hold the
// lock or answer in our place, so a folder in a shared place is used only when it is ours alone.
#include <string>
#include <string_view>

namespace os {

// Creates `folder` (mode 0700, its missing parents too) when it does not exist, and says whether
// it is a real folder (not a link) owned by this user that no one else may enter or write.
bool make_private_folder(std::u16string_view folder);

// `wanted` when make_private_folder accepts it; otherwise says why on the log and standard error
// (once per process) and returns `fallback`, made private too.
std::u16string choose_private_folder(std::u16string_view wanted, std::u16string_view fallback);

}  // namespace os
