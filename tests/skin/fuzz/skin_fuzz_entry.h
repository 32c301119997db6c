#pragma once
// One fuzz input through the skin reader: load_skin, every lookup on every element it reaches,
// every top-level element built into widgets, laid out and drawn, the dump, and the bitmap loader.
// Shared by the libFuzzer target and the corpus replay test.
#include <cstddef>
#include <cstdint>

int skin_fuzz_one(const uint8_t* data, size_t size);
