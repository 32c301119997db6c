#pragma once
// Where recordings live: a "My Quillon" folder in main memory and one on each usable card.
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::u16string_view record_folder_name = u"My Quillon";
// A store with less room than this is passed over for new recordings.
inline constexpr double min_free_bytes = 1000000.0;

struct StorageEntry {
    std::u16string path;  // the recordings folder of the storage
    // The language key "Menu_MainMemory" for main memory, else the card's folder name.
    std::u16string name;
    double volume_size = 0.0;
};

// Main memory first, then the cards by ascending volume size.
std::vector<StorageEntry> storages();
// The folder for a new recording: the largest card with room, else main memory, with the subfolder
// ("Incoming", "Outgoing" or none) created when missing. A card whose folder cannot be made or
// written (read-only, failing) is passed over for main memory, so a call is never lost to it.
// Empty when no folder can be made.
std::u16string record_folder(std::u16string_view subfolder, std::u16string* store = nullptr);
