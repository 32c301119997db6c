#include <gtest/gtest.h>

#include <cmath>

#include "audio/boost_filter.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "audio/voice_activation_gate.h"
#include "audio_test_support.h"

namespace {

const AudioFormat mono16{1, 16, 8000};

AudioBlock sine_block(int frames, int rate, double amplitude, double hz, int phase_frames = 0) {
    AudioBlock block(static_cast<std::size_t>(frames) * 2, AudioFormat{1, 16, rate});
    auto* s = reinterpret_cast<int16_t*>(block.data());
    for (int f = 0; f < frames; ++f) {
        s[f] = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * (f + phase_frames) / rate)));
    }
    return block;
}

AudioBlock constant_block(int frames, int16_t value, AudioFormat format = mono16) {
    AudioBlock block(static_cast<std::size_t>(frames) * format.block_align(), format);
    auto* s = reinterpret_cast<int16_t*>(block.data());
    for (int i = 0; i < frames * format.channels; ++i) s[i] = value;
    return block;
}

}  // namespace

TEST(BoostFilter, KneeTableAndGain) {
    BoostFilter boost;
    struct Row {
        int factor, x1, y1, x2;
    };
    for (const Row& row :
         {Row{1, 2000, 2000, 30000}, Row{2, 2000, 2000, 16000}, Row{4, 2000, 3250, 8687}, Row{8, 2000, 5750, 5031}}) {
        boost.set_boost(row.factor);
        const auto knees = boost.knees();
        EXPECT_EQ(knees.x0, 750);
        EXPECT_EQ(knees.y0, 750);
        EXPECT_EQ(knees.x1, row.x1) << row.factor;
        EXPECT_EQ(knees.y1, row.y1) << row.factor;
        EXPECT_EQ(knees.x2, row.x2) << row.factor;
        EXPECT_EQ(knees.ymax, 30000);
        EXPECT_EQ(boost.curve(32768), 32768 * 16384);
        EXPECT_EQ(boost.curve(0), 0);
    }
    boost.set_boost(8);
    EXPECT_EQ(boost.curve(1000), 1750 * 16384);
    EXPECT_EQ(boost.gain(1000), 28672);  // 1.75 in units of 1/16384
    EXPECT_EQ(boost.gain(-1000), 28672);
    EXPECT_EQ(boost.gain(0), 0);
    boost.set_boost(0);
    EXPECT_EQ(boost.factor(), 1);
    EXPECT_EQ(boost.gain(12345), 16384);  // off: unity everywhere
}

TEST(BoostFilter, PassesWhatItMustNotTouch) {
    BoostFilter boost;
    audio_test::CollectingSink sink;
    connect(boost, &sink);
    AudioBlock block = sine_block(1600, 8000, 1000, 100);
    audio_test::ByteSource unlinked({}, mono16);
    feed(unlinked, block);  // a port without consumer: the block disappears
    boost.lock().lock();
    boost.on_data(block);  // off: untouched, same samples
    boost.lock().unlock();
    ASSERT_EQ(sink.size(), block.length());
    EXPECT_EQ(std::memcmp(sink.bytes.data(), block.data(), block.length()), 0);

    boost.set_boost(8);
    const AudioBlock stereo = constant_block(800, 500, AudioFormat{2, 16, 8000});
    AudioBlock eight(800, AudioFormat{1, 8, 8000});
    std::memset(eight.data(), 140, 800);
    std::lock_guard guard(boost.lock());
    boost.on_data(stereo);
    boost.on_data(eight);
    EXPECT_EQ(sink.size(), block.length() + stereo.length() + eight.length());
    EXPECT_EQ(sink.bytes.back(), 140);
    // Pulled blocks pass through unprocessed; without upstream there is nothing.
    EXPECT_TRUE(boost.get_data(10).is_empty());
    connect(boost, nullptr);
}

TEST(BoostFilter, HoldsBackAndAppliesGainToDominantPeaks) {
    BoostFilter boost;
    boost.set_boost(8);
    audio_test::CollectingSink sink;
    connect(boost, &sink);
    std::lock_guard guard(boost.lock());

    boost.on_data(sine_block(800, 8000, 1000, 100));  // exactly 100 ms: nothing is final yet
    EXPECT_EQ(sink.size(), 0u);

    for (int b = 1; b < 6; ++b) boost.on_data(sine_block(1600, 8000, 1000, 100, 800 + (b - 1) * 1600));
    const std::size_t in_bytes = (800 + 5 * 1600) * 2;
    const std::size_t out = sink.size();
    EXPECT_GT(out, 0u);
    // At least 100 ms less half a wave stays behind to judge the next peak.
    EXPECT_GE(in_bytes - out, (800u - 40u) * 2);
    auto* s = reinterpret_cast<const int16_t*>(sink.bytes.data());
    int peak = 0;
    for (std::size_t k = 1600; k < out / 2; ++k) peak = std::max(peak, std::abs(static_cast<int>(s[k])));
    EXPECT_NEAR(peak, 1750, 2);  // 1000 → 1750 on the "Boost3" curve

    boost.reset();
    sink.bytes.clear();
    boost.on_data(sine_block(800, 8000, 1000, 100));
    EXPECT_EQ(sink.size(), 0u);
    connect(boost, nullptr);
}

TEST(BoostFilter, OneSecondFallbackPassesWithoutGain) {
    BoostFilter boost;
    boost.set_boost(8);
    audio_test::CollectingSink sink;
    connect(boost, &sink);
    std::lock_guard guard(boost.lock());
    // Every half-wave is louder than the one before, so no peak dominates the next 100 ms.
    std::vector<int16_t> all;
    for (int b = 0; b < 6; ++b) {
        AudioBlock block(3200, mono16);
        auto* s = reinterpret_cast<int16_t*>(block.data());
        for (int f = 0; f < 1600; ++f) {
            const int n = b * 1600 + f;
            s[f] = static_cast<int16_t>(std::lround((200 + n * 2) * std::sin(2 * M_PI * 100 * n / 8000.0)));
            all.push_back(s[f]);
        }
        boost.on_data(block);
        if (b < 5) {
            EXPECT_EQ(sink.size(), 0u) << b;  // up to one second is held
        }
    }
    ASSERT_GT(sink.size(), 0u);
    auto* out = reinterpret_cast<const int16_t*>(sink.bytes.data());
    for (std::size_t k = 0; k < sink.size() / 2; ++k) ASSERT_EQ(out[k], all[k]) << k;  // no gain
    connect(boost, nullptr);
}

TEST(LevelFilter, LevelsThresholdsAndTheEleventhSilentBlock) {
    LevelFilter level;
    DurationFilter duration;
    VoiceActivationGate gate(level, duration);
    gate.link();
    EXPECT_FALSE(level.is_silent());  // voice activation off never gates, even when fresh
    gate.tick();
    EXPECT_TRUE(gate.is_linked());

    level.set_vas_level(32768.0 / 1048576.0);  // threshold 1024
    std::lock_guard guard(level.lock());
    level.on_data(constant_block(1600, 1024));
    EXPECT_DOUBLE_EQ(level.silence_time(), 0.0);
    EXPECT_DOUBLE_EQ(level.current_level(), 1024 / 32768.0);
    for (int b = 1; b <= 10; ++b) {
        level.on_data(constant_block(1600, 1023));
        gate.tick();
        EXPECT_TRUE(gate.is_linked()) << b;
    }
    EXPECT_LT(level.silence_time(), 2.0);
    level.on_data(constant_block(1600, 0));
    gate.tick();
    EXPECT_FALSE(gate.is_linked());
    EXPECT_NEAR(duration.total(), 2.4, 1e-9);  // twelve blocks reached it; none after the cut

    // A loud frame at index 99 of 1600 leaves 1500 quiet frames behind it.
    AudioBlock loud = constant_block(1600, 0);
    reinterpret_cast<int16_t*>(loud.data())[99] = -2000;
    level.on_data(loud);
    EXPECT_DOUBLE_EQ(level.silence_time(), 1500 / 8000.0);
    gate.tick();
    EXPECT_TRUE(gate.is_linked());

    // 8-bit stereo reads the first channel only.
    AudioBlock eight(4, AudioFormat{2, 8, 8000});
    const uint8_t bytes[4] = {128 + 64, 255, 128, 0};
    std::memcpy(eight.data(), bytes, 4);
    level.on_data(eight);
    EXPECT_DOUBLE_EQ(level.current_level(), 0.5);
    level.on_data(AudioBlock());  // no frames: nothing changes
    EXPECT_DOUBLE_EQ(level.current_level(), 0.5);
    connect(level, nullptr);
}
