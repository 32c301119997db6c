#include "audio/audio_block.h"

#include <gtest/gtest.h>

#include <cstring>
#include <thread>
#include <vector>

TEST(AudioFormat, DerivedSizes) {
    EXPECT_EQ((AudioFormat{2, 16, 44100}).block_align(), 4);
    EXPECT_EQ((AudioFormat{2, 16, 44100}).frames(4000), 1000);
    EXPECT_EQ((AudioFormat{1, 8, 11025}).block_align(), 1);
    EXPECT_EQ((AudioFormat{1, 16, 8000}).bit_rate(), 128000);
    EXPECT_EQ((AudioFormat{1, 16, 8000}).byte_rate(), 16000);
    EXPECT_EQ(AudioFormat{}.frames(100), 0);
    EXPECT_EQ(AudioBlock().frames(), 0);
}

TEST(AudioBlock, EmptyFreshAndCopiedIn) {
    AudioBlock empty;
    EXPECT_TRUE(empty.is_empty());
    EXPECT_TRUE(empty.format().is_empty());
    EXPECT_EQ(empty.storage()->capacity(), 0u);

    AudioBlock fresh(6, AudioFormat{1, 16, 8000});
    EXPECT_EQ(fresh.length(), 6u);
    EXPECT_EQ(fresh.frames(), 3);
    EXPECT_EQ(fresh.use_count(), 1);

    const uint8_t source[4] = {1, 2, 3, 4};
    AudioBlock copied(source, 4, AudioFormat{2, 8, 8000});
    EXPECT_NE(copied.data(), source);
    EXPECT_EQ(std::memcmp(copied.data(), source, 4), 0);
    EXPECT_EQ(copied.frames(), 2);
}

TEST(AudioBlock, SubBlocksShareSamplesAndClamp) {
    AudioBlock whole(100, AudioFormat{1, 16, 8000});
    for (int i = 0; i < 100; ++i) whole.data()[i] = static_cast<uint8_t>(i);
    AudioBlock part = whole.sub_block(10, 20);
    EXPECT_EQ(whole.use_count(), 2);
    EXPECT_EQ(part.data(), whole.data() + 10);
    EXPECT_EQ(part.offset(), 10u);
    EXPECT_EQ(part.length(), 20u);
    EXPECT_EQ(part.format(), whole.format());
    AudioBlock inner = part.sub_block(5, 1000);  // runs past the end: clamped to the view
    EXPECT_EQ(inner.data()[0], 15);
    EXPECT_EQ(inner.length(), 15u);
    EXPECT_EQ(whole.sub_block(200, 5).length(), 0u);
    EXPECT_EQ(whole.use_count(), 3);  // the temporary out-of-range view is already gone

    AudioBlock moved(std::move(part));
    EXPECT_EQ(whole.use_count(), 3);
    EXPECT_TRUE(part.is_empty());  // NOLINT: a moved-from block is the empty block
    inner = AudioBlock();
    EXPECT_EQ(whole.use_count(), 2);
}

TEST(AudioBlock, CountsSurviveReleaseOnManyThreads) {
    AudioBlock original(1000, AudioFormat{1, 16, 8000});
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([original] {
            for (int i = 0; i < 20000; ++i) {
                AudioBlock copy = original.sub_block(static_cast<std::size_t>(i % 100), 10);
                AudioBlock again = copy;
            }
        });
    }
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(original.use_count(), 1);
}
