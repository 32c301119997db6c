#include "audio/wav/adpcm_codec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio/wav/codec_decoders.h"
#include "tests/audio_wav/format_test_support.h"

namespace {

TEST(AdpcmGeometry, BlockSizesFollowTheRate) {
    const adpcm::Geometry mono8 = adpcm::Geometry::for_format(1, 8000);
    EXPECT_EQ(mono8.block_align, 256);
    EXPECT_EQ(mono8.samples_per_block, 500);
    const adpcm::Geometry mono22 = adpcm::Geometry::for_format(1, 22050);
    EXPECT_EQ(mono22.block_align, 512);
    EXPECT_EQ(mono22.samples_per_block, 1012);
    const adpcm::Geometry stereo44 = adpcm::Geometry::for_format(2, 44100);
    EXPECT_EQ(stereo44.block_align, 2048);
    EXPECT_EQ(stereo44.samples_per_block, 2036);
    EXPECT_EQ(adpcm::Geometry::for_format(1, 96000).block_align, 2048);
    EXPECT_FALSE(adpcm::Geometry::for_format(3, 8000).is_valid());
}

TEST(AdpcmEncode, SilencePicksTheFirstPredictorAndAStepOf16) {
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(2, 8000);
    std::vector<int16_t> silence(static_cast<size_t>(geometry.samples_per_block) * 2, 0);
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align), 0xAA);
    EXPECT_EQ(adpcm::encode_block(geometry, silence.data(), block.data()), 0);
    EXPECT_EQ(block[0], 0);
    EXPECT_EQ(block[1], 0);
    EXPECT_EQ(block[2], 16);  // delta left, little-endian
    EXPECT_EQ(block[4], 16);  // delta right
    EXPECT_TRUE(std::all_of(block.begin() + 14, block.end(), [](uint8_t b) { return b == 0; }));
}

TEST(AdpcmEncode, ASingleStepCodesExactly) {
    // Worked by hand: every predictor sees 0, 0 before the step; predictor 0 and 2 both end with
    // a maximum error of 4 and the lower index wins. The step of 100 codes as 6 (96, step 32),
    // the fall back to 0 as -3 (code 13).
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(1, 8000);
    std::vector<int16_t> pcm(static_cast<size_t>(geometry.samples_per_block), 0);
    pcm[2] = 100;
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align));
    ASSERT_EQ(adpcm::encode_block(geometry, pcm.data(), block.data()), 0);
    const std::vector<uint8_t> header{0, 16, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::vector<uint8_t>(block.begin(), block.begin() + 7), header);
    EXPECT_EQ(block[7], 0x6D);
    EXPECT_TRUE(std::all_of(block.begin() + 8, block.end(), [](uint8_t b) { return b == 0; }));

    std::vector<int16_t> decoded(pcm.size());
    ASSERT_TRUE(adpcm::decode_block(geometry, block.data(), decoded.data()));
    EXPECT_EQ(decoded[2], 96);
    EXPECT_EQ(decoded[3], 0);
}

TEST(AdpcmDecode, HeaderSamplesComeFirstInTimeOrder) {
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(1, 8000);
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align), 0);
    block[0] = 0;
    block[1] = 16;
    block[3] = 100;  // sample 1 = 100
    block[5] = 200;  // sample 2 = 200
    std::vector<int16_t> pcm(static_cast<size_t>(geometry.samples_per_block));
    ASSERT_TRUE(adpcm::decode_block(geometry, block.data(), pcm.data()));
    EXPECT_EQ(pcm[0], 200);
    EXPECT_EQ(pcm[1], 100);
}

TEST(AdpcmDecode, PredictorAboveSixIsRejected) {
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(2, 8000);
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align), 0);
    block[1] = 7;  // right channel
    std::vector<int16_t> pcm(static_cast<size_t>(geometry.pcm_bytes() / 2), 123);
    EXPECT_FALSE(adpcm::decode_block(geometry, block.data(), pcm.data()));
    EXPECT_EQ(pcm[0], 123);

    AdpcmDecoder decoder(2, 8000, geometry.block_align);
    EXPECT_TRUE(decoder.decode(block.data(), block.size()).is_empty());
    block[1] = 6;
    EXPECT_EQ(decoder.decode(block.data(), block.size()).frames(), geometry.samples_per_block);
}

TEST(AdpcmDecode, HostileCodesDoNotOverflow) {
    // The largest code over and over keeps multiplying the step; decoding must stay defined.
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(1, 44100);
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align), 0x88);
    block[0] = 1;
    block[1] = 0xFF;
    block[2] = 0x7F;
    std::vector<int16_t> pcm(static_cast<size_t>(geometry.samples_per_block));
    EXPECT_TRUE(adpcm::decode_block(geometry, block.data(), pcm.data()));
}

double snr_db(const std::vector<int16_t>& reference, const std::vector<int16_t>& decoded) {
    double signal = 0, noise = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        signal += double(reference[i]) * reference[i];
        const double d = double(reference[i]) - decoded[i];
        noise += d * d;
    }
    return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

TEST(AdpcmRoundTrip, ErrorStaysSmallForMonoAndStereo) {
    for (int channels : {1, 2}) {
        for (int rate : {8000, 22050, 44100}) {
            const adpcm::Geometry geometry = adpcm::Geometry::for_format(channels, rate);
            const int blocks = 6;
            const std::vector<int16_t> pcm =
                format_test::tone(geometry.samples_per_block * blocks, channels, rate, 300.0, 12000.0);
            std::vector<uint8_t> coded(static_cast<size_t>(geometry.block_align) * blocks);
            for (int b = 0; b < blocks; ++b) {
                adpcm::encode_block(geometry, pcm.data() + b * geometry.samples_per_block * channels,
                                    coded.data() + b * geometry.block_align);
            }
            AdpcmDecoder decoder(channels, rate, geometry.block_align);
            const AudioBlock decoded = decoder.decode(coded.data(), coded.size());
            ASSERT_EQ(decoded.length(), pcm.size() * 2);
            const auto* out = reinterpret_cast<const int16_t*>(decoded.data());
            const std::vector<int16_t> result(out, out + pcm.size());
            EXPECT_GT(snr_db(pcm, result), 20.0) << channels << " channels at " << rate;
            for (int b = 0; b < blocks; ++b) {
                // The header frames are stored as they are.
                const size_t first = static_cast<size_t>(b) * geometry.samples_per_block * channels;
                for (int k = 0; k < 2 * channels; ++k) EXPECT_EQ(result[first + k], pcm[first + k]);
            }
        }
    }
}

}  // namespace
