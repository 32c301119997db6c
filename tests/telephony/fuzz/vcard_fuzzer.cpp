// libFuzzer target: tests/telephony/fuzz/run_fuzz.sh builds it with clang and keeps what it finds
// in corpus/, which the vCard corpus test replays in every normal build.
#include "tests/telephony/fuzz/vcard_fuzz_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) { return vcard_fuzz_one(data, size); }
