#pragma once
// Base64 with padding (RFC 4648's alphabet), as vCard writers encode pictures; the tests encode
// what the product's decoder must read back.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace test_support {

std::string base64(std::string_view bytes);
inline std::string base64(const std::vector<uint8_t>& bytes) {
    return base64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace test_support
