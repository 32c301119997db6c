#pragma once
// Base64 as vCard pictures carry it: white space anywhere is skipped, "=" padding is optional but
// only allowed at the end.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

// Nothing when the text holds any other character or a misplaced "=", or when the decoded bytes
// would exceed max_bytes (checked before anything is decoded).
std::optional<std::vector<uint8_t>> decode_base64(std::string_view text, size_t max_bytes);
