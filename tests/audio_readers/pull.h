#pragma once
// Pulls a reader's whole output the way the player does, in requests of 16,384 frames.
#include <cstdint>
#include <cstring>
#include <vector>

#include "audio/readers/file_reader.h"

inline std::vector<std::int16_t> pull_all(FileReader& reader, int requested = 16384, AudioFormat* format = nullptr) {
    std::vector<std::int16_t> samples;
    for (;;) {
        AudioBlock block = reader.output().get_data(requested);
        if (block.is_empty()) break;
        if (format != nullptr) *format = block.format();
        const std::size_t at = samples.size();
        samples.resize(at + block.length() / 2);
        std::memcpy(samples.data() + at, block.data(), block.length() / 2 * 2);
    }
    return samples;
}
