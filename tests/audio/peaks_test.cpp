// Peak pairs: one per fifth of a second of the first channel, whatever the blocks' sizes, and the
// lock-free hand-over from the level node to the screen.
#include "audio/peaks.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "audio/duration_filter.h"
#include "audio/level_filter.h"

namespace {

AudioBlock samples(const std::vector<int16_t>& values, AudioFormat format) {
    AudioBlock block(values.size() * 2, format);
    std::memcpy(block.data(), values.data(), values.size() * 2);
    return block;
}

}  // namespace

TEST(Peaks, ValuesRoundToNearestOf127) {
    EXPECT_EQ(peak_value(0), 0);
    EXPECT_EQ(peak_value(32767), 127);
    EXPECT_EQ(peak_value(-32768), -127);
    EXPECT_EQ(peak_value(16384), 64);  // 63.5 rounds up
    EXPECT_EQ(peak_value(-130), -1);   // 0.504 rounds to 1
    EXPECT_EQ(peak_value(128), 0);     // 0.496
}

TEST(Peaks, OnePairPerFifthOfASecondAcrossBlockBoundaries) {
    // 50 frames a second: a pair every 10 frames.
    const AudioFormat format{1, 16, 50};
    std::vector<int16_t> values(35, 0);
    values[3] = 32767;    // first pair's high
    values[12] = -32768;  // second pair's low
    values[25] = 16384;   // third pair
    values[33] = -16384;  // in the unfinished fourth
    PeakAccumulator accumulator;
    std::vector<PeakPair> out;
    // Blocks of 7 frames cut every pair somewhere else.
    for (size_t at = 0; at < values.size(); at += 7) {
        const std::vector<int16_t> part(values.begin() + static_cast<long>(at),
                                        values.begin() + static_cast<long>(std::min(at + 7, values.size())));
        accumulator.add(samples(part, format), out);
    }
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (PeakPair{0, 127}));
    EXPECT_EQ(out[1], (PeakPair{-127, 0}));
    EXPECT_EQ(out[2], (PeakPair{0, 64}));
    EXPECT_EQ(accumulator.pending_frames(), 5);
    accumulator.flush(out);
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[3], (PeakPair{-64, 0}));
    // Flushing an empty pair adds nothing.
    accumulator.flush(out);
    EXPECT_EQ(out.size(), 4u);
}

TEST(Peaks, StereoUsesTheFirstChannelAnd8BitIsCentred) {
    PeakAccumulator accumulator;
    std::vector<PeakPair> out;
    // Stereo at 10 frames a second: 2 frames a pair; the loud right channel plays no part.
    accumulator.add(samples({1000, 32767, -1000, -32768}, AudioFormat{2, 16, 10}), out);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], (PeakPair{peak_value(-1000), peak_value(1000)}));
    AudioBlock eight(2, AudioFormat{1, 8, 10});
    eight.data()[0] = 0;    // -128 → -32768
    eight.data()[1] = 255;  // +127 → 32512
    accumulator.add(eight, out);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(out[1], (PeakPair{-127, 126}));
}

TEST(Peaks, RingHandsOverInOrderAndKeepsTheNewestWhenFull) {
    PeakRing ring;
    std::vector<PeakPair> out;
    for (int i = 0; i < 5; ++i) ring.push({static_cast<int8_t>(-i), static_cast<int8_t>(i)});
    EXPECT_EQ(ring.take(out), 5u);
    EXPECT_EQ(out.back(), (PeakPair{-4, 4}));
    out.clear();
    EXPECT_EQ(ring.take(out), 0u);
    for (uint32_t i = 0; i < PeakRing::capacity * 3; ++i) ring.push({0, static_cast<int8_t>(i % 100)});
    ring.take(out);
    EXPECT_EQ(out.size(), PeakRing::capacity - 1);
    EXPECT_EQ(out.back().high, static_cast<int8_t>((PeakRing::capacity * 3 - 1) % 100));
}

TEST(Peaks, RingAcrossThreadsKeepsTheOrder) {
    PeakRing ring;
    constexpr int kCount = 20000;
    // Each pair carries its own number across its two bytes, so any reordering is seen.
    const auto pair_of = [](int i) { return PeakPair{static_cast<int8_t>(i & 0xFF), static_cast<int8_t>(i >> 8)}; };
    const auto number_of = [](PeakPair p) {
        return static_cast<int>(static_cast<uint8_t>(p.low)) | static_cast<int>(static_cast<uint8_t>(p.high)) << 8;
    };
    std::atomic<bool> done{false};
    std::thread producer([&] {
        for (int i = 0; i < kCount; ++i) {
            ring.push(pair_of(i));
            if (i % 64 == 63) std::this_thread::yield();
        }
        done = true;
    });
    std::vector<PeakPair> out;
    while (!done.load()) ring.take(out);
    producer.join();
    ring.take(out);
    // A reader slower than a ring's worth loses the oldest pairs, never the order of the rest,
    // and always gets the last one.
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(number_of(out.back()), kCount - 1);
    size_t out_of_order = 0;
    for (size_t i = 1; i < out.size(); ++i) {
        if (number_of(out[i]) <= number_of(out[i - 1])) ++out_of_order;
    }
    EXPECT_EQ(out_of_order, 0u);
}

TEST(Peaks, LevelNodeOffersLivePairsAndTheDurationCounterTheFilesPairs) {
    const AudioFormat format{1, 16, 50};
    LevelFilter level;
    DurationFilter duration;
    connect(level, &duration);
    std::vector<int16_t> values(25, 0);
    values[2] = 32767;
    level.on_data(samples(values, format));
    std::vector<PeakPair> live;
    EXPECT_EQ(level.take_live_peaks(live), 2u);
    std::vector<PeakPair> file;
    duration.take_peaks(file);
    EXPECT_EQ(file, live);
    duration.finish_peaks(file);
    EXPECT_EQ(file.size(), 3u);
    duration.reset();
    file.clear();
    duration.finish_peaks(file);
    EXPECT_TRUE(file.empty());
    connect(level, nullptr);
}
