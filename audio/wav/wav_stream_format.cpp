#include "audio/wav/wav_stream_format.h"

#include <cstdint>
#include <cstring>

#include "audio/wav/wav_data_extent.h"
#include "os/file.h"

namespace {

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16)) | (static_cast<std::uint32_t>(p[3]) << 24);
}
std::uint16_t le16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint64_t le64(const std::uint8_t* p) { return le32(p) | (static_cast<std::uint64_t>(le32(p + 4)) << 32); }

// The GUID tail shared by every KSDATAFORMAT_SUBTYPE of a WAVE format tag.
constexpr std::uint8_t kSubtypeTail[14] = {0x00, 0x00, 0x00, 0x00, 0x10, 0x00, 0x80,
                                           0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

constexpr std::uint32_t kRf64SizeFollows = 0xFFFFFFFF;

bool read_exactly(os::File& file, void* out, std::size_t size) { return file.read(out, size) == size; }

bool parse_fmt(const std::uint8_t* body, std::uint32_t size, WavStreamFormat& out) {
    if (size < 16) return false;
    out.format_tag = le16(body);
    out.channels = le16(body + 2);
    out.rate = static_cast<int>(le32(body + 4) & 0x7FFFFFFF);
    out.block_align = le16(body + 12);
    out.bits = le16(body + 14);
    if (out.format_tag == WavStreamFormat::kTagExtensible) {
        // cbSize, valid bits, channel mask, then the sub-format GUID whose first two bytes are a tag.
        if (size < 40 || le16(body + 16) < 22) return false;
        if (std::memcmp(body + 26, kSubtypeTail, sizeof kSubtypeTail) != 0) return false;
        out.extensible = true;
        out.format_tag = le16(body + 24);
    }
    switch (out.format_tag) {
        case WavStreamFormat::kTagPcm:
            out.encoding = WavSampleEncoding::Integer;
            if (out.bits != 8 && out.bits != 16 && out.bits != 24 && out.bits != 32) return false;
            break;
        case WavStreamFormat::kTagFloat:
            out.encoding = WavSampleEncoding::Float;
            if (out.bits != 32 && out.bits != 64) return false;
            break;
        case WavStreamFormat::kTagMuLaw:
        case WavStreamFormat::kTagALaw:
            out.encoding =
                out.format_tag == WavStreamFormat::kTagMuLaw ? WavSampleEncoding::MuLaw : WavSampleEncoding::ALaw;
            if (out.bits != 8) return false;
            break;
        default:
            return false;
    }
    // Samples are stored whole and interleaved: anything else would be read as noise.
    return out.channels >= 1 && out.rate > 0 && out.block_align == out.channels * (out.bits / 8);
}

}  // namespace

bool WavStreamFormat::is_playable_as_stored() const {
    return encoding == WavSampleEncoding::Integer && (bits == 8 || bits == 16) && channels <= 2;
}

bool read_wav_stream_format(os::File& file, WavStreamFormat& out) {
    out = WavStreamFormat{};
    std::uint8_t head[12];
    if (!file.seek(0) || !read_exactly(file, head, sizeof head)) return false;
    if (std::memcmp(head + 8, "WAVE", 4) != 0) return false;
    out.rf64 = std::memcmp(head, "RF64", 4) == 0;
    if (!out.rf64 && std::memcmp(head, "RIFF", 4) != 0) return false;

    const std::int64_t file_size = file.size();
    std::int64_t at = 12;
    std::uint64_t rf64_data_size = 0;
    bool have_fmt = false;
    // Every step moves forward by at least 8 bytes, so a walk ends at the end of the file.
    while (at + 8 <= file_size) {
        std::uint8_t chunk[8];
        if (!file.seek(at) || !read_exactly(file, chunk, sizeof chunk)) return false;
        const std::uint32_t size = le32(chunk + 4);
        const std::int64_t body = at + 8;
        if (std::memcmp(chunk, "ds64", 4) == 0 && out.rf64) {
            std::uint8_t ds64[24];
            if (size < sizeof ds64 || !read_exactly(file, ds64, sizeof ds64)) return false;
            rf64_data_size = le64(ds64 + 8);
        } else if (std::memcmp(chunk, "fmt ", 4) == 0) {
            std::uint8_t fmt[40] = {};
            const std::uint32_t wanted = size < sizeof fmt ? size : sizeof fmt;
            if (!read_exactly(file, fmt, wanted) || !parse_fmt(fmt, size, out)) return false;
            have_fmt = true;
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_fmt) return false;
            out.data_start = body;
            // A data chunk that is the file's last runs to the end of the file, whatever its size
            // field says (a writer killed before it wrote its sizes leaves 0 there).
            out.data_size =
                out.rf64 && size == kRf64SizeFollows ? static_cast<std::int64_t>(rf64_data_size & INT64_MAX)
                : body <= UINT32_MAX
                    ? static_cast<std::int64_t>(data_size_in_file(file, static_cast<std::uint32_t>(body), size))
                    : static_cast<std::int64_t>(size);
            return true;
        }
        // Chunk bodies are padded to an even length.
        at = body + static_cast<std::int64_t>(size) + (size & 1);
    }
    return false;
}
