// libFuzzer entry: the reader factory and the playback pulls.
#include "tests/audio_readers/fuzz/fuzz_bodies.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz_factory(data, size);
    return 0;
}
