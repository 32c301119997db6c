#include <gtest/gtest.h>

#include "audio/active_buffer.h"
#include "audio/boost_filter.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "audio/recorder_pcm_impl.h"
#include "audio_test_support.h"

namespace {

class RecorderTest : public ::testing::Test {
protected:
    void SetUp() override { m_env.set("QUILLON_AUDIO_PACE", "0"); }
    std::string path(const char* name) { return m_root.path(name); }
    test_support::TempRoot m_root{"quillon-audio"};
    test_support::ScopedEnv m_env;
};

}  // namespace

TEST(RecorderPCM, BufferSizes) {
    EXPECT_EQ(RecorderPCMImpl::buffer_size_for(1, 8000, 16), 3200u);
    EXPECT_EQ(RecorderPCMImpl::buffer_size_for(1, 11025, 8), 2204u);
    EXPECT_EQ(RecorderPCMImpl::buffer_size_for(2, 44100, 16), 35280u);
}

TEST_F(RecorderTest, MissingOrForeignMicrophoneFailsCleanly) {
    m_env.set("QUILLON_AUDIO_IN", path("absent.wav"));
    {
        RecorderPCMImpl recorder(1, 8000, 16);
        EXPECT_EQ(recorder.state(), 3);
        EXPECT_FALSE(recorder.is_ok());
        EXPECT_FALSE(recorder.start());
        EXPECT_TRUE(recorder.pause());
    }
    const std::vector<uint8_t> adpcm(512, 0);
    audio_test::write_wav(path("adpcm.wav"), AudioFormat{1, 4, 8000}, adpcm, 2);
    m_env.set("QUILLON_AUDIO_IN", path("adpcm.wav"));
    RecorderPCMImpl recorder(1, 8000, 16);
    EXPECT_FALSE(recorder.is_ok());
    EXPECT_EQ(recorder.bit_rate(), 128000);
}

TEST_F(RecorderTest, RecordsAFileCompleteAndInOrderThroughTheChain) {
    const AudioFormat format{1, 16, 8000};
    const std::vector<uint8_t> voice = audio_test::speech_like(8000 * 3 + 123, 8000);
    audio_test::write_wav(path("voice.wav"), format, voice);
    m_env.set("QUILLON_AUDIO_IN", path("voice.wav"));

    BoostFilter boost;
    LevelFilter level;
    DurationFilter duration;
    ActiveBuffer buffer;
    audio_test::CollectingSink sink;
    connect(boost, &level);
    connect(level, &duration);
    connect(duration, &buffer);
    connect(buffer, &sink);
    {
        auto recorder = std::make_unique<RecorderPCMImpl>(1, 8000, 16);
        EXPECT_EQ(recorder->buffer_size(), 3200u);
        connect(*recorder, &boost);
        EXPECT_TRUE(recorder->start());
        while (sink.size() < voice.size()) ASSERT_TRUE(sink.arrived.wait_for(10000)) << "recording stalled";
        EXPECT_TRUE(recorder->is_ok());
        EXPECT_EQ(recorder->state(), 2);
        EXPECT_FALSE(recorder->is_paused());
        EXPECT_TRUE(recorder->pause());
        EXPECT_TRUE(recorder->is_paused());
        connect(*recorder, nullptr);
    }
    while (buffer.queued_blocks() > 0) sink.arrived.wait_for(100);
    const std::vector<uint8_t> got = sink.snapshot();
    ASSERT_GE(got.size(), voice.size());
    EXPECT_TRUE(std::equal(voice.begin(), voice.end(), got.begin()));
    // The microphone ran out: the rest is the silence of a quiet room.
    EXPECT_TRUE(
        std::all_of(got.begin() + static_cast<long>(voice.size()), got.end(), [](uint8_t b) { return b == 0; }));
    EXPECT_DOUBLE_EQ(duration.total(), static_cast<double>(got.size() / 2) / 8000.0);
    EXPECT_GT(level.current_level(), -1.0);
    connect(boost, nullptr);
    connect(level, nullptr);
    connect(duration, nullptr);
    connect(buffer, nullptr);
}

TEST_F(RecorderTest, ConvertsTheMicrophoneFileToTheAskedFormat) {
    // A 22,050 Hz stereo file heard as an 11,025 Hz 8-bit mono microphone.
    const std::vector<uint8_t> voice = audio_test::speech_like(22050, 22050, 2);
    audio_test::write_wav(path("stereo.wav"), AudioFormat{2, 16, 22050}, voice);
    m_env.set("QUILLON_AUDIO_IN", path("stereo.wav"));
    audio_test::CollectingSink sink;
    {
        RecorderPCMImpl recorder(1, 11025, 8);
        connect(recorder, &sink);
        recorder.start();
        while (sink.size() < 11025) ASSERT_TRUE(sink.arrived.wait_for(10000));
        connect(recorder, nullptr);
    }
    const auto got = sink.snapshot();
    EXPECT_EQ(got.size() % 2204, 0u);  // whole 200 ms buffers
    int peak = 0;
    for (std::size_t i = 0; i < 11025; ++i) peak = std::max(peak, std::abs(got[i] - 128));
    EXPECT_GT(peak, 8);    // the voice is there
    EXPECT_LT(peak, 128);  // and not clipped to nonsense
}
