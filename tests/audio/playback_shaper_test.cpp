// Playback speed with the pitch kept, and shortened silences: what the player would pull.
#include "audio/playback_shaper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

// Serves samples as a reader does: up to the frames asked for, then the empty block at the end.
class Samples final : public AudioPort {
public:
    Samples(std::vector<int16_t> samples, int rate) : m_samples(std::move(samples)), m_rate(rate) {}
    AudioBlock get_data(int requested_frames) override {
        const size_t count = std::min(m_samples.size() - m_at, static_cast<size_t>(requested_frames));
        if (count == 0) return {};
        AudioBlock block(m_samples.data() + m_at, count * 2, AudioFormat{1, 16, m_rate});
        m_at += count;
        return block;
    }
    size_t position() const { return m_at; }

private:
    std::vector<int16_t> m_samples;
    int m_rate;
    size_t m_at = 0;
};

constexpr int kRate = 16000;

std::vector<int16_t> tone(double seconds, double hz, double amplitude = 12000) {
    std::vector<int16_t> out(static_cast<size_t>(seconds * kRate));
    for (size_t i = 0; i < out.size(); ++i) {
        out[i] =
            static_cast<int16_t>(std::lround(amplitude * std::sin(2 * M_PI * hz * static_cast<double>(i) / kRate)));
    }
    return out;
}

// Everything the player would pull, in its pulls of 16384 frames.
std::vector<int16_t> pull_all(PlaybackShaper& shaper) {
    std::vector<int16_t> out;
    for (;;) {
        const AudioBlock block = shaper.get_data(16384);
        if (block.is_empty()) break;
        const size_t before = out.size();
        out.resize(before + static_cast<size_t>(block.frames()));
        std::memcpy(out.data() + before, block.data(), block.length());
    }
    return out;
}

// The strongest frequency between low and high (1 Hz steps) in a stretch, by Goertzel's filter.
double strongest_hz(const std::vector<int16_t>& samples, size_t from, size_t count, int low, int high) {
    double best = 0, best_hz = 0;
    for (int hz = low; hz <= high; ++hz) {
        const double w = 2 * M_PI * hz / kRate;
        const double c = 2 * std::cos(w);
        double s1 = 0, s2 = 0;
        for (size_t i = from; i < from + count; ++i) {
            const double s0 = samples[i] + c * s1 - s2;
            s2 = s1;
            s1 = s0;
        }
        const double power = s1 * s1 + s2 * s2 - c * s1 * s2;
        if (power > best) {
            best = power;
            best_hz = hz;
        }
    }
    return best_hz;
}

struct Chain {
    explicit Chain(std::vector<int16_t> samples) : source(std::move(samples), kRate) { connect(source, &shaper); }
    ~Chain() { connect(source, nullptr); }
    Samples source;
    PlaybackShaper shaper;
};

}  // namespace

TEST(PlaybackShaper, NormalSpeedPassesBlocksUntouched) {
    Chain chain(tone(1.0, 440));
    const std::vector<int16_t> out = pull_all(chain.shaper);
    EXPECT_EQ(out, tone(1.0, 440));
}

TEST(PlaybackShaper, TwiceAsFastPlaysTenSecondsInFiveWithThePitchKept) {
    Chain chain(tone(10.0, 440));
    chain.shaper.set_speed(200);
    const std::vector<int16_t> out = pull_all(chain.shaper);
    EXPECT_NEAR(static_cast<double>(out.size()) / kRate, 5.0, 0.1);
    ASSERT_GT(out.size(), static_cast<size_t>(kRate * 3));
    // A second from the middle: still 440 Hz, not 880.
    EXPECT_NEAR(strongest_hz(out, kRate, kRate, 300, 1000), 440, 3);
    // The reader went through the whole file: the shown position stays the file's.
    EXPECT_EQ(chain.source.position(), static_cast<size_t>(10 * kRate));
}

TEST(PlaybackShaper, EverySpeedOfferedKeepsThePitchAndScalesTheLength) {
    for (int speed : PlaybackShaper::speeds) {
        Chain chain(tone(4.0, 330));
        chain.shaper.set_speed(speed);
        const std::vector<int16_t> out = pull_all(chain.shaper);
        EXPECT_NEAR(static_cast<double>(out.size()) / kRate, 4.0 * 100 / speed, 0.1) << speed;
        EXPECT_NEAR(strongest_hz(out, kRate / 2, kRate, 200, 800), 330, 3) << speed;
    }
}

TEST(PlaybackShaper, SkippingShortensThreeSecondsOfSilenceByTwo) {
    std::vector<int16_t> samples = tone(1.0, 440);
    samples.resize(samples.size() + 3 * kRate, 0);
    const std::vector<int16_t> after = tone(1.0, 440);
    samples.insert(samples.end(), after.begin(), after.end());
    Chain chain(samples);
    chain.shaper.set_skip_silence(true, 0.0);
    const std::vector<int16_t> out = pull_all(chain.shaper);
    EXPECT_NEAR(static_cast<double>(out.size()) / kRate, 3.0, 0.05);
    // Short pauses (the tone's own zero crossings, a pause under a second) stay.
    Chain short_pause(tone(1.0, 440));
    short_pause.shaper.set_skip_silence(true, 0.0);
    EXPECT_EQ(pull_all(short_pause.shaper).size(), static_cast<size_t>(kRate));
}

TEST(PlaybackShaper, SkippingAndSpeedTogetherAndAClearForgetsTheOldPosition) {
    std::vector<int16_t> samples(static_cast<size_t>(3 * kRate), 0);
    const std::vector<int16_t> voice = tone(2.0, 440);
    samples.insert(samples.end(), voice.begin(), voice.end());
    Chain chain(samples);
    chain.shaper.set_skip_silence(true, 0.0);
    chain.shaper.set_speed(200);
    // (1 s of kept silence + 2 s of tone) at twice the speed.
    EXPECT_NEAR(static_cast<double>(pull_all(chain.shaper).size()) / kRate, 1.5, 0.1);
    chain.shaper.clear();
    EXPECT_TRUE(chain.shaper.get_data(16384).is_empty());
}
