#pragma once
// Shared helpers of the audio tests: WAV files written byte by byte, a source port over a byte
// buffer and a sink that collects what reaches it.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "audio/audio_node.h"
#include "os/event.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wav_file.h"

namespace audio_test {

inline void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
inline void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}

inline void write_wav(const std::string& path, const AudioFormat& format, const std::vector<uint8_t>& data,
                      uint16_t tag = 1) {
    const std::string file = test_support::wav_bytes(format.channels, format.rate, format.bits, data, tag);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(file.data(), 1, file.size(), out);
    std::fclose(out);
}

// The data chunk of a canonical 44-byte-header WAV, or nothing when the header does not say so.
inline std::vector<uint8_t> read_wav_data(const std::string& path, AudioFormat& format) {
    std::vector<uint8_t> file;
    if (std::FILE* in = std::fopen(path.c_str(), "rb")) {
        uint8_t buffer[65536];
        std::size_t got;
        while ((got = std::fread(buffer, 1, sizeof(buffer), in)) > 0) file.insert(file.end(), buffer, buffer + got);
        std::fclose(in);
    }
    if (file.size() < 44 || std::memcmp(file.data(), "RIFF", 4) != 0) return {};
    auto u32 = [&](std::size_t at) {
        return file[at] | file[at + 1] << 8 | file[at + 2] << 16 | uint32_t(file[at + 3]) << 24;
    };
    auto u16 = [&](std::size_t at) { return static_cast<int>(file[at] | file[at + 1] << 8); };
    format = AudioFormat{u16(22), u16(34), static_cast<int32_t>(u32(24))};
    const uint32_t size = u32(40);
    if (u32(4) != 36 + size + (size & 1) || file.size() < 44 + size) return {};
    return std::vector<uint8_t>(file.begin() + 44, file.begin() + 44 + size);
}

// Speech-like test signal: a few partials under a slow envelope, 16-bit little-endian.
inline std::vector<uint8_t> speech_like(int frames, int rate, int channels = 1) {
    std::vector<uint8_t> out;
    out.reserve(static_cast<std::size_t>(frames) * channels * 2);
    uint32_t noise = 12345;
    for (int f = 0; f < frames; ++f) {
        const double t = static_cast<double>(f) / rate;
        const double envelope = 0.5 + 0.5 * __builtin_sin(2 * 3.14159265 * 3.0 * t);
        noise = noise * 1103515245 + 12345;
        const double value = envelope * (3000 * __builtin_sin(2 * 3.14159265 * 180 * t) +
                                         1200 * __builtin_sin(2 * 3.14159265 * 720 * t)) +
                             static_cast<int>((noise >> 16) % 200) - 100;
        for (int c = 0; c < channels; ++c) put_u16(out, static_cast<uint16_t>(static_cast<int16_t>(value)));
    }
    return out;
}

// A source port over bytes: get_data hands out sub-blocks of at most the requested frames.
class ByteSource : public AudioPort {
public:
    ByteSource(std::vector<uint8_t> bytes, AudioFormat format) : m_whole(bytes.data(), bytes.size(), format) {}
    AudioBlock get_data(int requested_frames) override {
        std::lock_guard guard(m_mutex);
        requests.push_back(requested_frames);
        const std::size_t want = static_cast<std::size_t>(requested_frames) * m_whole.format().block_align();
        AudioBlock part = m_whole.sub_block(m_position, want);
        m_position += part.length();
        if (part.is_empty()) return AudioBlock();
        return part;
    }
    std::vector<int> requests;

private:
    std::mutex m_mutex;
    AudioBlock m_whole;
    std::size_t m_position = 0;
};

// Collects pushed blocks and signals each arrival.
class CollectingSink : public AudioConsumer {
public:
    void on_data(const AudioBlock& block) override {
        {
            std::lock_guard guard(m_mutex);
            bytes.insert(bytes.end(), block.data(), block.data() + block.length());
            ++blocks;
        }
        arrived.set();
    }
    std::size_t size() {
        std::lock_guard guard(m_mutex);
        return bytes.size();
    }
    std::vector<uint8_t> snapshot() {
        std::lock_guard guard(m_mutex);
        return bytes;
    }
    Event arrived{Event::Reset::Automatic};
    std::vector<uint8_t> bytes;
    int blocks = 0;

private:
    std::mutex m_mutex;
};

}  // namespace audio_test
