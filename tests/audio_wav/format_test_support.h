#pragma once
// Shared by the WAV and MP3 format tests: a private QUILLON_ROOT per test, test tones, file
// helpers and a way to run the ecosystem's decoders on what we wrote.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/audio_block.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"

namespace format_test {

using test_support::TempRoot;

inline std::vector<int16_t> tone(int frames, int channels, int rate, double frequency = 440.0, double level = 8000.0) {
    std::vector<int16_t> samples(static_cast<size_t>(frames) * channels);
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < channels; ++c) {
            const double f = frequency * (c + 1);
            samples[static_cast<size_t>(i) * channels + c] =
                static_cast<int16_t>(std::lround(level * std::sin(2.0 * M_PI * f * i / rate)));
        }
    }
    return samples;
}

inline AudioBlock block_of(const std::vector<int16_t>& samples, int channels, int rate) {
    return AudioBlock(samples.data(), samples.size() * 2, AudioFormat{channels, 16, rate});
}

inline std::vector<uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

inline uint32_t u32_at(const std::vector<uint8_t>& bytes, size_t at) {
    return bytes[at] | (bytes[at + 1] << 8) | (bytes[at + 2] << 16) | (static_cast<uint32_t>(bytes[at + 3]) << 24);
}

inline uint16_t u16_at(const std::vector<uint8_t>& bytes, size_t at) {
    return static_cast<uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

inline bool has_program(const std::string& name) {
    return std::system(("command -v " + name + " >/dev/null 2>&1").c_str()) == 0;
}

struct Run {
    int status = -1;
    std::string output;  // stdout and stderr together
};

inline Run run(const std::string& command) {
    Run result;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

// ffmpeg decodes the whole file and must not say a word at warning level. Two notices are not
// about the file: ffmpeg guesses a channel layout for every WAV without a channel mask, and its
// MS ADPCM decoder notes "Multiple frames in a packet" for every ADPCM WAV (sox's own files too).
inline void expect_ffmpeg_decodes_cleanly(const std::string& path) {
    if (!has_program("ffmpeg")) GTEST_SKIP() << "ffmpeg is not installed";
    const Run result = run("ffmpeg -nostdin -hide_banner -v warning -i '" + path + "' -f null -");
    EXPECT_EQ(result.status, 0) << result.output;
    std::string remarks;
    size_t start = 0;
    while (start < result.output.size()) {
        size_t end = result.output.find('\n', start);
        if (end == std::string::npos) end = result.output.size();
        const std::string line = result.output.substr(start, end - start);
        if (line.find("Guessed Channel Layout") == std::string::npos &&
            line.find("Multiple frames in a packet") == std::string::npos) {
            remarks += line + "\n";
        }
        start = end + 1;
    }
    EXPECT_EQ(remarks, "") << path;
}

inline void expect_sox_decodes_cleanly(const std::string& path) {
    if (!has_program("sox")) GTEST_SKIP() << "sox is not installed";
    const Run result = run("sox -V2 '" + path + "' -t null -");
    EXPECT_EQ(result.status, 0) << result.output;
    EXPECT_EQ(result.output, "") << path;
}

}  // namespace format_test
