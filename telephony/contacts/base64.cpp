#include "telephony/contacts/base64.h"

namespace {

int sextet(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

}  // namespace

std::optional<std::vector<uint8_t>> decode_base64(std::string_view text, size_t max_bytes) {
    size_t symbols = 0;
    size_t padding = 0;
    for (char c : text) {
        if (is_space(c)) continue;
        if (c == '=') {
            ++padding;
        } else if (padding > 0 || sextet(c) < 0) {
            return std::nullopt;
        } else {
            ++symbols;
        }
    }
    if (padding > 2 || symbols % 4 == 1 || (padding > 0 && (symbols + padding) % 4 != 0)) return std::nullopt;
    const size_t size = symbols / 4 * 3 + (symbols % 4 == 0 ? 0 : symbols % 4 - 1);
    if (size > max_bytes) return std::nullopt;

    std::vector<uint8_t> bytes;
    bytes.reserve(size);
    uint32_t accumulator = 0;
    int bits = 0;
    for (char c : text) {
        const int value = sextet(c);
        if (value < 0) continue;
        accumulator = (accumulator << 6) | static_cast<uint32_t>(value);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            bytes.push_back(static_cast<uint8_t>(accumulator >> bits));
        }
    }
    return bytes;
}
