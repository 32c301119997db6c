#pragma once
// Storage cards: the removable volumes the recordings may also live on.
#include <functional>
#include <string>
#include <vector>

namespace os {

// Offers each usable storage card to the callback, which answers false to stop; always true.
// Logs "find_drives: mydoc={...}" first, then "returning result={card}" for each card offered and
// "skipping result={card}" for each passed over. A card is usable when the documents folder does
// not lie on it and its volume is larger than 1,000,000 bytes.
//
// The cards are the mount points directly under /media/$USER and /run/media/$USER; with
// QUILLON_ROOT set, only the folders in $QUILLON_ROOT/cards instead, so tests see no real card.
bool find_drives(const std::function<bool(const std::u16string& card)>& callback);

// Every card folder, usable or not, in name order.
std::vector<std::u16string> card_folders();

}  // namespace os
