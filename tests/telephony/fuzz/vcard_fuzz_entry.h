#pragma once
// One fuzz input through the vCard reader: the whole text at once and again in small pieces (the
// two must agree), every card's picture decoded, every number reduced and matched. Shared by the
// libFuzzer target and the corpus replay test.
#include <cstddef>
#include <cstdint>

int vcard_fuzz_one(const uint8_t* data, size_t size);
