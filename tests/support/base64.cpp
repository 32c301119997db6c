#include "tests/support/base64.h"

namespace test_support {

std::string base64(std::string_view bytes) {
    static const char alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    auto byte = [&](size_t i) { return i < bytes.size() ? static_cast<uint32_t>(static_cast<uint8_t>(bytes[i])) : 0u; };
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (size_t i = 0; i < bytes.size(); i += 3) {
        const uint32_t chunk = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
        out += alphabet[chunk >> 18 & 63];
        out += alphabet[chunk >> 12 & 63];
        out += i + 1 < bytes.size() ? alphabet[chunk >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? alphabet[chunk & 63] : '=';
    }
    return out;
}

}  // namespace test_support
