#pragma once
#include <cstddef>
#include <cstdint>

// Decodes and parses one input as a language file and checks what every table must satisfy;
// traps on a broken rule. Returns 0, as libFuzzer wants.
int key_value_fuzz_one(const uint8_t* data, size_t size);
