#include "audio/wav/wav_header.h"

#include <cstring>

#include "audio/wav/adpcm_codec.h"
#include "audio/wav/gsm_codec.h"
#include "audio/wav/wav_data_extent.h"
#include "os/file.h"

namespace {

// Little-endian reads that fail as a whole once any read comes up short.
class Reader {
public:
    explicit Reader(os::File& file) : m_file(file) {}

    bool ok() const { return m_ok; }
    bool bytes(void* out, size_t size) {
        if (m_ok && m_file.read(out, size) != size) m_ok = false;
        return m_ok;
    }
    uint32_t u32() {
        uint8_t b[4] = {};
        bytes(b, 4);
        return static_cast<uint32_t>(b[0] | (b[1] << 8) | (b[2] << 16)) | (static_cast<uint32_t>(b[3]) << 24);
    }
    uint16_t u16() {
        uint8_t b[2] = {};
        bytes(b, 2);
        return static_cast<uint16_t>(b[0] | (b[1] << 8));
    }
    bool expect(const char* id) {
        char got[4] = {};
        return bytes(got, 4) && std::memcmp(got, id, 4) == 0;
    }
    // Walks chunk by chunk until one named `id`; leaves the file at its body and returns its size.
    bool find_chunk(const char* id, uint32_t& size) {
        while (m_ok) {
            char got[4] = {};
            if (!bytes(got, 4)) return false;
            size = u32();
            if (!m_ok) return false;
            if (std::memcmp(got, id, 4) == 0) return true;
            // Chunk bodies are padded to an even length.
            const int64_t skip = static_cast<int64_t>(size) + (size & 1);
            if (!m_file.seek(m_file.tell() + skip)) return false;
        }
        return false;
    }

private:
    os::File& m_file;
    bool m_ok = true;
};

class Writer {
public:
    void u32(uint32_t v) {
        for (int i = 0; i < 4; ++i) m_bytes.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void u16(uint16_t v) {
        m_bytes.push_back(static_cast<uint8_t>(v & 0xFF));
        m_bytes.push_back(static_cast<uint8_t>(v >> 8));
    }
    void id(const char* text) { m_bytes.insert(m_bytes.end(), text, text + 4); }
    std::vector<uint8_t> take() { return std::move(m_bytes); }

private:
    std::vector<uint8_t> m_bytes;
};

bool write_u32_at(os::File& file, int64_t position, uint32_t value) {
    uint8_t b[4];
    for (int i = 0; i < 4; ++i) b[i] = static_cast<uint8_t>(value >> (8 * i));
    return file.seek(position) && file.write(b, 4) == 4;
}

uint16_t tag_of(WavCodec codec) {
    switch (codec) {
        case WavCodec::Adpcm:
            return WavHeader::kTagAdpcm;
        case WavCodec::Gsm:
            return WavHeader::kTagGsm;
        case WavCodec::Pcm:
            break;
    }
    return WavHeader::kTagPcm;
}

}  // namespace

uint32_t WavHeader::canonical_data_start(WavCodec codec) {
    switch (codec) {
        case WavCodec::Adpcm:
            return 90;
        case WavCodec::Gsm:
            return 60;
        case WavCodec::Pcm:
            break;
    }
    return 44;
}

WavHeader WavHeader::for_new_file(WavCodec codec) {
    WavHeader header;
    header.format_tag = tag_of(codec);
    header.data_start = canonical_data_start(codec);
    switch (codec) {
        case WavCodec::Pcm:
            header.fmt_size = 16;
            break;
        case WavCodec::Gsm:
            header.fmt_size = 20;
            header.channels = 1;
            header.sample_rate = gsm610::kRate;
            header.average_bytes_per_second = gsm610::kAverageBytesPerSecond;
            header.block_align = gsm610::kBlockAlign;
            header.bits_per_sample = 0;
            header.samples_per_block = gsm610::kSamplesPerBlock;
            header.fact_position = 56;
            break;
        case WavCodec::Adpcm:
            header.fmt_size = 50;
            header.bits_per_sample = 4;
            header.coefficients.assign(adpcm::kCoefficients.begin(), adpcm::kCoefficients.end());
            header.fact_position = 86;
            break;
    }
    header.riff_size = header.data_start - 8;
    return header;
}

bool WavHeader::read_header(os::File& file, WavCodec codec) {
    if (!file.seek(0)) return false;
    Reader in(file);
    if (!in.expect("RIFF")) return false;
    riff_size = in.u32();
    if (!in.expect("WAVE") || !in.expect("fmt ")) return false;
    fmt_size = in.u32();
    format_tag = in.u16();
    channels = in.u16();
    sample_rate = in.u32();
    average_bytes_per_second = in.u32();
    block_align = in.u16();
    bits_per_sample = in.u16();
    if (!in.ok() || format_tag != tag_of(codec)) return false;

    uint32_t fmt_read = 16;
    coefficients.clear();
    if (codec == WavCodec::Gsm) {
        in.u16();  // extra size
        samples_per_block = in.u16();
        fmt_read += 4;
    } else if (codec == WavCodec::Adpcm) {
        in.u16();  // extra size
        samples_per_block = in.u16();
        const uint16_t count = in.u16();
        if (!in.ok() || count != adpcm::kCoefficientCount) return false;
        for (int i = 0; i < count; ++i) {
            const auto k1 = static_cast<int16_t>(in.u16());
            const auto k2 = static_cast<int16_t>(in.u16());
            coefficients.push_back({k1, k2});
        }
        fmt_read += 6 + 4u * count;
    }
    if (!in.ok() || fmt_size < fmt_read) return false;
    const int64_t rest = fmt_size - fmt_read;
    const int64_t before = file.tell();
    if (rest > 0 && (!file.seek(before + rest) || file.tell() != before + rest)) return false;
    // A chunk of odd size is followed by a pad byte.
    if ((fmt_size & 1) != 0 && !file.seek(file.tell() + 1)) return false;

    fact_position = 0;
    if (codec != WavCodec::Pcm) {
        uint32_t fact_size = 0;
        if (!in.find_chunk("fact", fact_size) || fact_size < 4) return false;
        fact_position = static_cast<uint32_t>(file.tell());
        fact_count = in.u32();
        if (!in.ok() || (fact_size > 4 && !file.seek(file.tell() + (fact_size - 4) + (fact_size & 1)))) return false;
    }
    uint32_t size = 0;
    if (!in.find_chunk("data", size)) return false;
    data_start = static_cast<uint32_t>(file.tell());
    data_size = data_size_in_file(file, data_start, size);

    switch (codec) {
        case WavCodec::Pcm:
            return channels >= 1 && (bits_per_sample == 8 || bits_per_sample == 16) && block_align > 0;
        case WavCodec::Gsm:
            return channels == 1 && sample_rate == gsm610::kRate && samples_per_block == gsm610::kSamplesPerBlock &&
                   block_align == gsm610::kBlockAlign;
        case WavCodec::Adpcm:
            return (channels == 1 || channels == 2) && bits_per_sample == 4;
    }
    return false;
}

std::vector<uint8_t> WavHeader::serialize(WavCodec codec) const {
    const uint32_t start = canonical_data_start(codec);
    Writer out;
    out.id("RIFF");
    out.u32(start + data_size - 8);
    out.id("WAVE");
    out.id("fmt ");
    const uint32_t fmt = codec == WavCodec::Pcm ? 16 : codec == WavCodec::Gsm ? 20 : 22 + 4 * adpcm::kCoefficientCount;
    out.u32(fmt);
    out.u16(tag_of(codec));
    out.u16(channels);
    out.u32(sample_rate);
    out.u32(average_bytes_per_second);
    out.u16(block_align);
    out.u16(bits_per_sample);
    if (codec == WavCodec::Gsm) {
        out.u16(2);
        out.u16(samples_per_block);
    } else if (codec == WavCodec::Adpcm) {
        out.u16(static_cast<uint16_t>((adpcm::kCoefficientCount + 1) * 4));
        out.u16(samples_per_block);
        out.u16(adpcm::kCoefficientCount);
        for (const auto& pair : adpcm::kCoefficients) {
            out.u16(static_cast<uint16_t>(pair[0]));
            out.u16(static_cast<uint16_t>(pair[1]));
        }
    }
    if (codec != WavCodec::Pcm) {
        out.id("fact");
        out.u32(4);
        out.u32(fact_count);
    }
    out.id("data");
    out.u32(data_size);
    return out.take();
}

bool WavHeader::write_header(os::File& file, WavCodec codec) {
    riff_size = data_start + data_size - 8;
    if (data_start == canonical_data_start(codec)) {
        const std::vector<uint8_t> bytes = serialize(codec);
        return file.seek(0) && file.write(bytes.data(), bytes.size()) == bytes.size();
    }
    // Someone else's layout: keep their chunks, correct only the sizes and the sample count.
    bool ok = write_u32_at(file, 4, riff_size);
    if (fact_position != 0) ok = write_u32_at(file, fact_position, fact_count) && ok;
    ok = write_u32_at(file, data_start - 4, data_size) && ok;
    return ok && file.seek(data_start);
}
