#include "os/wave/wav_stream.h"

#include <algorithm>
#include <cstring>

namespace os::wave_detail {

namespace {

uint32_t read_u32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }
uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
void put_u32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
void put_u16(uint8_t* p, uint16_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

constexpr uint16_t format_pcm = 1;
constexpr uint16_t format_extensible = 0xFFFE;

}  // namespace

WavSource::~WavSource() {
    if (m_file != nullptr) std::fclose(m_file);
}

bool WavSource::open(const std::string& path, const WaveFormat& target, std::string& reason) {
    m_target = target;
    m_file = std::fopen(path.c_str(), "rb");
    if (m_file == nullptr) {
        reason = "cannot open";
        return false;
    }
    uint8_t riff[12];
    if (std::fread(riff, 1, 12, m_file) != 12 || std::memcmp(riff, "RIFF", 4) != 0 ||
        std::memcmp(riff + 8, "WAVE", 4) != 0) {
        reason = "not a RIFF WAVE file";
        return false;
    }
    bool have_format = false;
    for (;;) {
        uint8_t chunk[8];
        if (std::fread(chunk, 1, 8, m_file) != 8) {
            reason = have_format ? "no data chunk" : "no fmt chunk";
            return false;
        }
        const uint32_t size = read_u32(chunk + 4);
        if (std::memcmp(chunk, "fmt ", 4) == 0) {
            if (size < 16 || size > 1024) {
                reason = "bad fmt chunk";
                return false;
            }
            std::vector<uint8_t> body(size);
            if (std::fread(body.data(), 1, size, m_file) != size) {
                reason = "short fmt chunk";
                return false;
            }
            uint16_t tag = read_u16(body.data());
            if (tag == format_extensible && size >= 26) tag = read_u16(body.data() + 24);  // sub-format GUID
            m_source_channels = read_u16(body.data() + 2);
            m_source.rate = static_cast<int>(read_u32(body.data() + 4));
            m_source.bits = read_u16(body.data() + 14);
            m_source.channels = std::min(m_source_channels, 2);
            if (tag != format_pcm || (m_source.bits != 8 && m_source.bits != 16) || m_source_channels < 1 ||
                m_source.rate <= 0) {
                reason = "not 8- or 16-bit PCM";
                return false;
            }
            have_format = true;
            if (size & 1) std::fseek(m_file, 1, SEEK_CUR);
        } else if (std::memcmp(chunk, "data", 4) == 0) {
            if (!have_format) {
                reason = "data before fmt";
                return false;
            }
            m_remaining = size;
            break;
        } else if (std::fseek(m_file, static_cast<long>(size) + (size & 1), SEEK_CUR) != 0) {
            reason = "truncated chunk";
            return false;
        }
    }
    if (target.channels < 1 || target.channels > 2 || (target.bits != 8 && target.bits != 16) || target.rate <= 0) {
        reason = "unsupported target format";
        return false;
    }
    return true;
}

std::size_t WavSource::read_raw(uint8_t* out, std::size_t length) {
    const std::size_t wanted = static_cast<std::size_t>(std::min<uint64_t>(length, m_remaining));
    const std::size_t got = wanted > 0 ? std::fread(out, 1, wanted, m_file) : 0;
    if (got < wanted) {
        m_remaining = 0;  // truncated file: what is there counts, the rest is silence
    } else {
        m_remaining -= got;
    }
    return got;
}

bool WavSource::next_source_frame(int32_t* channels) {
    const std::size_t frame_bytes = static_cast<std::size_t>(m_source_channels) * (m_source.bits / 8);
    if (m_buffer_pos + frame_bytes > m_buffer.size()) {
        m_buffer.resize(frame_bytes * 4096);
        const std::size_t got = read_raw(m_buffer.data(), m_buffer.size());
        m_buffer.resize(got - got % frame_bytes);
        m_buffer_pos = 0;
        if (m_buffer.empty()) return false;
    }
    const uint8_t* frame = m_buffer.data() + m_buffer_pos;
    m_buffer_pos += frame_bytes;
    for (int c = 0; c < m_source.channels; ++c) {
        channels[c] = m_source.bits == 16 ? static_cast<int16_t>(read_u16(frame + c * 2))
                                          : (static_cast<int32_t>(frame[c]) - 128) * 256;
    }
    if (m_source.channels == 1) channels[1] = channels[0];
    return true;
}

void WavSource::read(uint8_t* out, std::size_t length) {
    const bool same = m_source.channels == m_target.channels && m_source.bits == m_target.bits &&
                      m_source.rate == m_target.rate && m_source_channels == m_source.channels;
    if (same) {
        std::size_t got = 0;
        if (m_buffer_pos < m_buffer.size()) {  // never happens in practice: one path per source
            got = std::min(length, m_buffer.size() - m_buffer_pos);
            std::memcpy(out, m_buffer.data() + m_buffer_pos, got);
            m_buffer_pos += got;
        }
        got += read_raw(out + got, length - got);
        std::memset(out + got, m_target.bits == 8 ? 128 : 0, length - got);
        return;
    }
    const std::size_t frame_bytes = static_cast<std::size_t>(m_target.block_align());
    const double step = static_cast<double>(m_source.rate) / m_target.rate;
    if (!m_primed) {
        m_primed = true;
        if (!next_source_frame(m_current)) m_source_ended = true;
        std::copy(m_current, m_current + 2, m_previous);
        if (!m_source_ended && !next_source_frame(m_current)) {
            m_current[0] = m_current[1] = 0;
            m_draining = true;
        }
    }
    for (std::size_t offset = 0; offset + frame_bytes <= length; offset += frame_bytes) {
        int32_t value[2];
        for (int c = 0; c < 2; ++c) {
            value[c] =
                m_source_ended ? 0 : static_cast<int32_t>(m_previous[c] + (m_current[c] - m_previous[c]) * m_phase);
        }
        if (m_target.channels == 1 && m_source.channels == 2) value[0] = (value[0] + value[1]) / 2;
        for (int c = 0; c < m_target.channels; ++c) {
            if (m_target.bits == 16) {
                put_u16(out + offset + c * 2, static_cast<uint16_t>(static_cast<int16_t>(value[c])));
            } else {
                out[offset + c] = static_cast<uint8_t>(std::clamp(value[c] / 256 + 128, 0, 255));
            }
        }
        m_phase += step;
        while (m_phase >= 1.0 && !m_source_ended) {
            m_phase -= 1.0;
            std::copy(m_current, m_current + 2, m_previous);
            if (!next_source_frame(m_current)) {
                // One more span interpolates from the last frame towards silence, then the room is quiet.
                if (m_draining) m_source_ended = true;
                m_draining = true;
                m_current[0] = m_current[1] = 0;
            }
        }
    }
}

WavSink::~WavSink() { close(); }

bool WavSink::open(const std::string& path, const WaveFormat& format) {
    m_file = std::fopen(path.c_str(), "wb");
    if (m_file == nullptr) return false;
    uint8_t header[44] = {};
    std::memcpy(header, "RIFF", 4);
    put_u32(header + 4, 36);
    std::memcpy(header + 8, "WAVEfmt ", 8);
    put_u32(header + 16, 16);
    put_u16(header + 20, format_pcm);
    put_u16(header + 22, static_cast<uint16_t>(format.channels));
    put_u32(header + 24, static_cast<uint32_t>(format.rate));
    put_u32(header + 28, static_cast<uint32_t>(format.byte_rate()));
    put_u16(header + 32, static_cast<uint16_t>(format.block_align()));
    put_u16(header + 34, static_cast<uint16_t>(format.bits));
    std::memcpy(header + 36, "data", 4);
    m_data_bytes = 0;
    return std::fwrite(header, 1, 44, m_file) == 44;
}

bool WavSink::write(const uint8_t* bytes, std::size_t length) {
    if (m_file == nullptr) return false;
    if (std::fwrite(bytes, 1, length, m_file) != length) return false;
    m_data_bytes += static_cast<uint32_t>(length);
    return true;
}

void WavSink::close() {
    if (m_file == nullptr) return;
    if (m_data_bytes & 1) std::fputc(0, m_file);  // chunks are padded to even sizes
    uint8_t size[4];
    put_u32(size, 36 + m_data_bytes + (m_data_bytes & 1));
    std::fseek(m_file, 4, SEEK_SET);
    std::fwrite(size, 1, 4, m_file);
    put_u32(size, m_data_bytes);
    std::fseek(m_file, 40, SEEK_SET);
    std::fwrite(size, 1, 4, m_file);
    std::fclose(m_file);
    m_file = nullptr;
}

}  // namespace os::wave_detail
