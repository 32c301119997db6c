#include "audio/wav/gsm_codec.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "audio/wav/codec_decoders.h"
#include "audio/wav/gsm_encoder.h"
#include "tests/audio_wav/format_test_support.h"

namespace {

class Sink : public AudioConsumer {
public:
    void on_data(const AudioBlock& block) override { blocks.push_back(block); }
    std::vector<AudioBlock> blocks;
};

TEST(GsmEncoder, OneSecondGivesTwentyFiveBlocksAndDecodesBack) {
    GsmEncoder encoder;
    Sink sink;
    connect(encoder, &sink);
    const std::vector<int16_t> pcm = format_test::tone(8000, 1, 8000, 440.0, 6000.0);
    // Cut the input at odd places: the collector must reassemble whole 320-sample blocks.
    size_t position = 0;
    for (size_t step : {333u, 1000u, 7u, 5000u, 99999u}) {
        const size_t n = std::min(step, pcm.size() - position);
        encoder.on_data(AudioBlock(pcm.data() + position, n * 2, GsmEncoder::kInputFormat));
        position += n;
    }
    ASSERT_EQ(sink.blocks.size(), 25u);
    std::vector<uint8_t> coded;
    for (const AudioBlock& block : sink.blocks) {
        EXPECT_EQ(block.length(), 65u);
        EXPECT_EQ(block.format(), GsmEncoder::kCodedFormat);
        coded.insert(coded.end(), block.data(), block.data() + block.length());
    }

    GsmDecoder decoder;
    const AudioBlock decoded = decoder.decode(coded.data(), coded.size());
    ASSERT_EQ(decoded.frames(), 8000);
    EXPECT_EQ(decoded.format(), GsmDecoder::kOutputFormat);
    // GSM keeps the waveform's energy and shape, not its exact samples.
    const auto* out = reinterpret_cast<const int16_t*>(decoded.data());
    double in_energy = 0, out_energy = 0, cross = 0;
    for (size_t i = 1600; i < 8000; ++i) {
        in_energy += double(pcm[i]) * pcm[i];
        out_energy += double(out[i]) * out[i];
        cross += double(pcm[i]) * out[i];
    }
    EXPECT_NEAR(out_energy / in_energy, 1.0, 0.5);
    EXPECT_GT(cross / std::sqrt(in_energy * out_energy), 0.7);
    connect(encoder, nullptr);
}

TEST(GsmEncoder, OtherFormatsEmitNothing) {
    GsmEncoder encoder;
    Sink sink;
    connect(encoder, &sink);
    const std::vector<int16_t> pcm = format_test::tone(16000, 1, 16000);
    encoder.on_data(format_test::block_of(pcm, 1, 16000));
    const std::vector<int16_t> stereo = format_test::tone(8000, 2, 8000);
    encoder.on_data(format_test::block_of(stereo, 2, 8000));
    EXPECT_TRUE(sink.blocks.empty());
    connect(encoder, nullptr);
}

}  // namespace
