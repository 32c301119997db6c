#pragma once
// What the fuzzers do with one input, shared with the gtest that replays the kept corpus so CI runs
// every input that once found a fault.
#include <cstddef>
#include <cstdint>

// Opens the bytes through the reader factory and plays them out as the player would, with a seek.
void fuzz_factory(const std::uint8_t* data, std::size_t size);
// Reads the bytes' ID3v2 and ID3v1 tags and decodes every text frame, then every tag the tag
// library finds in them.
void fuzz_id3(const std::uint8_t* data, std::size_t size);
