#pragma once
// The small WAV handling the file backends need: read any PCM WAV as a stream in a wanted format,
// and write a PCM WAV whose sizes are patched on close. Private to the wave layer.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "os/wave/wave.h"

namespace os::wave_detail {

// Streams the samples of a PCM WAV converted to a target format (channels mixed or duplicated,
// 8/16 bits, rate by linear interpolation); an exact copy when the formats agree.
class WavSource {
public:
    WavSource() = default;
    WavSource(const WavSource&) = delete;
    WavSource& operator=(const WavSource&) = delete;
    ~WavSource();

    // False with a reason when the file is missing, not RIFF/WAVE or not PCM.
    bool open(const std::string& path, const WaveFormat& target, std::string& reason);
    // Fills length bytes (a whole number of target frames); silence once the file has run out.
    void read(uint8_t* out, std::size_t length);
    bool at_end() const { return m_remaining == 0 && m_buffer_pos >= m_buffer.size(); }
    const WaveFormat& source_format() const { return m_source; }

private:
    bool next_source_frame(int32_t* channels);  // 16-bit range samples, first two channels
    std::size_t read_raw(uint8_t* out, std::size_t length);

    std::FILE* m_file = nullptr;
    WaveFormat m_source;
    WaveFormat m_target;
    int m_source_channels = 0;
    uint64_t m_remaining = 0;  // data bytes not yet read from the file
    std::vector<uint8_t> m_buffer;
    std::size_t m_buffer_pos = 0;
    int32_t m_previous[2] = {0, 0};
    int32_t m_current[2] = {0, 0};
    double m_phase = 0.0;
    bool m_primed = false;
    bool m_draining = false;
    bool m_source_ended = false;
};

class WavSink {
public:
    WavSink() = default;
    WavSink(const WavSink&) = delete;
    WavSink& operator=(const WavSink&) = delete;
    ~WavSink();

    bool open(const std::string& path, const WaveFormat& format);
    bool write(const uint8_t* bytes, std::size_t length);
    // Patches the RIFF and data sizes; the file is a valid WAV afterwards.
    void close();

private:
    std::FILE* m_file = nullptr;
    uint32_t m_data_bytes = 0;
};

}  // namespace os::wave_detail
