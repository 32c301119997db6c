// Replays every kept fuzz input through the same entry the fuzzer uses.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/lang/fuzz/key_value_fuzz_entry.h"

TEST(KeyValueFuzzCorpus, EveryInputParsesCleanly) {
    const std::filesystem::path corpus = std::filesystem::path(QUILLON_TEST_DATA) / "fuzz" / "corpus";
    size_t count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream input(entry.path(), std::ios::binary);
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(input)), std::istreambuf_iterator<char>());
        EXPECT_EQ(key_value_fuzz_one(bytes.data(), bytes.size()), 0) << entry.path();
        ++count;
    }
    EXPECT_GT(count, 0u);
}
