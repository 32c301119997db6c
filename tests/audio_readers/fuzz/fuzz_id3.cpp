// libFuzzer entry: ID3v2 and ID3v1 tag reading.
#include "tests/audio_readers/fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_id3(data, size);
    return 0;
}
