// libFuzzer target: tests/lang/fuzz/run_fuzz.sh builds it with clang and keeps what it finds in
// corpus/, which the lang tests replay in every normal build.
#include "tests/lang/fuzz/key_value_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return key_value_fuzz_one(data, size); }
