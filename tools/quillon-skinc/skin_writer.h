#pragma once
// Writes a parsed skin source as a binary skin: names first (so every property name lies inside
// the first 64 KB), then the string pool, then the directory as a balanced search tree with each
// element record after its entry. Every table is sorted by name the way the reader searches it.
#include <cstdint>
#include <string>
#include <vector>

#include "tools/quillon-skinc/skin_source.h"

// Pictures must already have their coordinates (whole-bitmap references resolved). On a fault
// returns false with `error` as "FILE:LINE: reason".
bool write_skin(const SkinSource& source, const std::string& file_name, std::vector<uint8_t>& bytes,
                std::string& error);
