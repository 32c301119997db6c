// libFuzzer target: tests/skin/fuzz/run_fuzz.sh builds it with clang and keeps what it finds in
// corpus/, which skin_corpus_test replays in every normal build.
#include "tests/skin/fuzz/skin_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return skin_fuzz_one(data, size); }
