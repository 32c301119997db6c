// Chained Ogg files (links appended one after another) play whole, each link for its own length,
// in one format for the player.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "tests/audio_readers/fixtures.h"
#include "tests/audio_readers/pull.h"

namespace {

using Samples = std::vector<std::int16_t>;

std::string link(const std::string& name, int channels, int rate, double seconds) {
    const std::string wav = fixtures::path_in_scratch(name + ".wav");
    const std::string ogg = fixtures::path_in_scratch(name + ".ogg");
    fixtures::write_file(wav, fixtures::pcm_wav(fixtures::test_signal(channels, rate, seconds), channels, rate));
    return fixtures::run("oggenc -Q -q 4 -o " + ogg + " " + wav) ? ogg : std::string();
}

Samples oggdec(const std::string& ogg) {
    const std::string out = ogg + ".oggdec.wav";
    return fixtures::run("oggdec -Q -o " + out + " " + ogg) ? fixtures::wav_samples(out) : Samples();
}

}  // namespace

TEST(OggChain, MonoThenStereoAtHalfTheRatePlaysWhole) {
    if (!fixtures::has_program("oggenc") || !fixtures::has_program("oggdec")) GTEST_SKIP() << "vorbis-tools missing";
    const std::string first = link("link_mono_44k", 1, 44100, 10.0);
    const std::string second = link("link_stereo_22k", 2, 22050, 14.25);
    ASSERT_FALSE(first.empty());
    ASSERT_FALSE(second.empty());
    const std::string chain = fixtures::path_in_scratch("chain.ogg");
    std::vector<std::uint8_t> bytes = fixtures::read_file(first);
    const std::vector<std::uint8_t> more = fixtures::read_file(second);
    bytes.insert(bytes.end(), more.begin(), more.end());
    fixtures::write_file(chain, bytes);

    auto reader = FileReader::open(os::from_utf8(chain));
    ASSERT_TRUE(reader);
    EXPECT_EQ(reader->info().channels(), 2);
    EXPECT_EQ(reader->info().rate(), 44100);
    EXPECT_NEAR(reader->info().duration(), 24.25, 1e-3);

    // oggdec stops at a link whose layout changes: each link is decoded on its own to compare.
    const Samples mono = oggdec(first);
    const Samples stereo = oggdec(second);
    ASSERT_EQ(mono.size(), 441000u);
    ASSERT_EQ(stereo.size(), 2u * 314212);
    AudioFormat format;
    const Samples ours = pull_all(*reader, 16384, &format);
    EXPECT_EQ(format, (AudioFormat{2, 16, 44100}));
    const std::size_t expected_frames = mono.size() + stereo.size();  // the second link at twice its rate
    EXPECT_NEAR(static_cast<double>(ours.size() / 2), static_cast<double>(expected_frames), 4);
    EXPECT_TRUE(reader->info().is_at_end());

    // The first link on both sides, as oggdec decodes it.
    Samples left, right;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        left.push_back(ours[2 * i]);
        right.push_back(ours[2 * i + 1]);
    }
    EXPECT_GT(fixtures::snr_db(mono, left, 1, 4), 50.0);
    EXPECT_EQ(left, right);
    // Every other frame of the second link is one of its own samples (up to Tremor's rounding).
    Samples second_part;
    for (std::size_t i = 0; 2 * i < stereo.size() / 2 - 1; ++i) {
        const std::size_t at = 2 * (mono.size() + 2 * i);
        if (at + 1 >= ours.size()) break;
        second_part.push_back(ours[at]);
        second_part.push_back(ours[at + 1]);
    }
    EXPECT_GT(fixtures::snr_db(stereo, second_part, 2, 4), 50.0);

    // A seek into the second link lands there and plays to the end.
    ASSERT_TRUE(reader->seek(reader->info().position_of_time(20.0)));
    EXPECT_NEAR(static_cast<double>(reader->info().position()), 20.0 * 44100, 2);
    const Samples rest = pull_all(*reader);
    EXPECT_NEAR(static_cast<double>(rest.size() / 2), static_cast<double>(expected_frames) - 20.0 * 44100, 8);

    // quillon-tool decode writes the whole chain too.
    const std::string decoded = fixtures::path_in_scratch("chain_decoded.wav");
    ASSERT_TRUE(fixtures::run(std::string(QUILLON_BIN_DIR) + "/quillon-tool decode " + chain + " " + decoded));
    EXPECT_NEAR(static_cast<double>(fixtures::wav_samples(decoded).size() / 2), static_cast<double>(expected_frames),
                4);
}
