#include <gtest/gtest.h>

#include <filesystem>

#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/fuzz/fuzz_bodies.h"

TEST(ReaderFuzzCorpus, EveryKeptInputRunsCleanly) {
    fixtures::scratch();
    const std::filesystem::path corpus = std::filesystem::path(QUILLON_TEST_DATA) / "fuzz" / "corpus";
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        if (!entry.is_regular_file()) continue;
        const std::vector<std::uint8_t> bytes = fixtures::read_file(entry.path().string());
        SCOPED_TRACE(entry.path().filename().string());
        fuzz_factory(bytes.data(), bytes.size());
        fuzz_id3(bytes.data(), bytes.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 10);
}
