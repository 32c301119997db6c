#include "audio/vorbis/vorbis_setup_check.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The headers of a real stream fit in far less; junk is not read further.
constexpr std::int64_t max_header_bytes = 1 << 20;

// The first three packets of the stream that the file begins with; fewer when the file ends or
// stops being Ogg first.
std::vector<std::string> first_packets(InputFile& file) {
    std::vector<std::string> packets;
    std::string packet;
    std::int64_t at = 0;
    bool have_serial = false;
    std::uint32_t serial = 0;
    while (packets.size() < 3 && at < max_header_bytes) {
        unsigned char header[27];
        if (!file.seek(at) || file.read(header, sizeof header) != sizeof header) break;
        if (std::memcmp(header, "OggS", 4) != 0) break;
        const std::uint32_t page_serial =
            header[14] | header[15] << 8 | header[16] << 16 | std::uint32_t{header[17]} << 24;
        unsigned char lacing[255];
        const std::size_t segments = header[26];
        if (file.read(lacing, segments) != segments) break;
        std::size_t body_size = 0;
        for (std::size_t i = 0; i < segments; ++i) body_size += lacing[i];
        std::string body(body_size, '\0');
        if (file.read(body.data(), body_size) != body_size) break;
        at += static_cast<std::int64_t>(sizeof header + segments + body_size);
        if (!have_serial) {
            serial = page_serial;
            have_serial = true;
        }
        if (page_serial != serial) continue;  // another stream multiplexed beside it
        std::size_t offset = 0;
        for (std::size_t i = 0; i < segments && packets.size() < 3; ++i) {
            packet.append(body, offset, lacing[i]);
            offset += lacing[i];
            if (lacing[i] < 255) packets.push_back(std::move(packet)), packet.clear();
        }
    }
    return packets;
}

// Vorbis packs its fields from the least significant bit of each byte up.
class BitReader {
public:
    explicit BitReader(const std::string& bytes) : m_bytes(bytes) {}
    // Up to 32 bits; false when the packet ends first.
    bool read(int count, std::uint32_t& value) {
        value = 0;
        for (int i = 0; i < count; ++i) {
            if (m_bit >= m_bytes.size() * 8) return false;
            const unsigned char byte = static_cast<unsigned char>(m_bytes[m_bit / 8]);
            value |= static_cast<std::uint32_t>((byte >> (m_bit % 8)) & 1) << i;
            ++m_bit;
        }
        return true;
    }
    bool skip(std::uint64_t count) {
        if (count > m_bytes.size() * 8 - m_bit) return false;
        m_bit += count;
        return true;
    }

private:
    const std::string& m_bytes;
    std::uint64_t m_bit = 0;
};

int ilog(std::uint32_t value) {
    int bits = 0;
    while (value != 0) ++bits, value >>= 1;
    return bits;
}

// r^dimensions <= entries, computed without overflow.
bool fits(std::uint64_t r, std::uint32_t dimensions, std::uint32_t entries) {
    std::uint64_t power = 1;
    for (std::uint32_t i = 0; i < dimensions; ++i) {
        power *= r;
        if (power > entries) return false;
    }
    return true;
}

// The largest r with r^dimensions <= entries.
std::uint64_t lookup1_values(std::uint32_t entries, std::uint32_t dimensions) {
    auto r = static_cast<std::uint64_t>(std::pow(static_cast<double>(entries), 1.0 / dimensions));
    while (r > 0 && !fits(r, dimensions, entries)) --r;
    while (fits(r + 1, dimensions, entries)) ++r;
    return r;
}

enum class Book { Usable, Unusable, NotUnderstood };

Book check_codebook(BitReader& bits) {
    std::uint32_t sync = 0, dimensions = 0, entries = 0, flag = 0;
    if (!bits.read(24, sync) || sync != 0x564342 || !bits.read(16, dimensions) || !bits.read(24, entries)) {
        return Book::NotUnderstood;
    }
    if (dimensions == 0) return Book::Unusable;
    if (!bits.read(1, flag)) return Book::NotUnderstood;
    // The code lengths must make a whole Huffman tree: the weights 2^-length of the used entries
    // add up to one (counted here in units of 2^-32), or there is a single entry.
    std::uint64_t weight = 0;
    std::uint32_t used = 0;
    if (flag == 0) {
        std::uint32_t sparse = 0;
        if (!bits.read(1, sparse)) return Book::NotUnderstood;
        for (std::uint32_t i = 0; i < entries; ++i) {
            std::uint32_t present = 1, length = 0;
            if (sparse && !bits.read(1, present)) return Book::NotUnderstood;
            if (!present) continue;
            if (!bits.read(5, length)) return Book::NotUnderstood;
            weight += std::uint64_t{1} << (31 - length);
            ++used;
        }
    } else {
        std::uint32_t length = 0;
        if (!bits.read(5, length)) return Book::NotUnderstood;
        ++length;
        for (std::uint32_t entry = 0; entry < entries; ++length) {
            std::uint32_t count = 0;
            if (length > 32 || !bits.read(ilog(entries - entry), count)) return Book::NotUnderstood;
            if (count > entries - entry) return Book::NotUnderstood;
            weight += std::uint64_t{count} << (32 - length);
            used += count;
            entry += count;
        }
    }
    if (used > 1 && weight != std::uint64_t{1} << 32) return Book::Unusable;
    std::uint32_t lookup = 0;
    if (!bits.read(4, lookup) || lookup > 2) return Book::NotUnderstood;
    if (lookup == 0) return Book::Usable;
    std::uint32_t value_bits = 0;
    if (!bits.skip(64) || !bits.read(4, value_bits) || !bits.skip(1)) return Book::NotUnderstood;
    const std::uint64_t values =
        lookup == 1 ? lookup1_values(entries, dimensions) : std::uint64_t{entries} * dimensions;
    return bits.skip(values * (value_bits + 1)) ? Book::Usable : Book::NotUnderstood;
}

}  // namespace

bool vorbis_codebooks_usable(InputFile& file) {
    const std::vector<std::string> packets = first_packets(file);
    if (packets.size() < 3) return true;
    const std::string& setup = packets[2];
    if (setup.size() < 7 || setup[0] != 5 || setup.compare(1, 6, "vorbis") != 0) return true;
    const std::string fields = setup.substr(7);
    BitReader bits(fields);
    std::uint32_t count = 0;
    if (!bits.read(8, count)) return true;
    for (std::uint32_t i = 0; i <= count; ++i) {
        const Book book = check_codebook(bits);
        if (book == Book::Unusable) return false;
        if (book == Book::NotUnderstood) return true;
    }
    return true;
}
