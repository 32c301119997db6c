#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "audio/player_pcm.h"
#include "audio_test_support.h"

namespace {

class PlayerTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_env.set("QUILLON_AUDIO_OUT", path("speaker.wav"));
        m_env.set("QUILLON_AUDIO_PACE", "0");
    }
    std::string path(const char* name) { return m_root.path(name); }

    // The player offers no notification (the Document polls it), so neither can the test.
    static bool poll_until(const std::function<bool()>& condition) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!condition()) {
            if (std::chrono::steady_clock::now() > deadline) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return true;
    }
    test_support::TempRoot m_root{"quillon-audio"};
    test_support::ScopedEnv m_env;
};

}  // namespace

TEST(PlayerPCM, BufferSizes) {
    EXPECT_EQ(PlayerPCM::buffer_size_for(1, 8000, 16), 3200u);
    EXPECT_EQ(PlayerPCM::buffer_size_for(1, 11025, 8), 2205u);  // not rounded to even
    EXPECT_EQ(PlayerPCM::buffer_size_for(2, 44100, 16), 35280u);
}

TEST_F(PlayerTest, PlaysASourceByteIdenticalWithAPartialLastBuffer) {
    const AudioFormat format{1, 16, 8000};
    const std::vector<uint8_t> voice = audio_test::speech_like(1600 * 23 + 500, 8000);
    audio_test::ByteSource source(voice, format);
    {
        PlayerPCM player;
        connect(source, &player);
        player.play();
        ASSERT_TRUE(poll_until([&] { return player.is_finished() && player.state() == 0; }));
        EXPECT_EQ(player.buffer_size(), 3200u);
        EXPECT_EQ(player.level(0), 0.0);  // levels clear when the device side resets
        connect(source, nullptr);
    }
    for (int request : source.requests) EXPECT_EQ(request, 16384);
    AudioFormat written;
    const auto data = audio_test::read_wav_data(path("speaker.wav"), written);
    EXPECT_EQ(written, format);
    ASSERT_EQ(data.size(), voice.size());
    EXPECT_TRUE(data == voice);
}

TEST_F(PlayerTest, NothingToPlayFinishesAtOnce) {
    audio_test::ByteSource source({}, AudioFormat{1, 16, 8000});
    PlayerPCM player;
    connect(source, &player);
    player.play();
    ASSERT_TRUE(poll_until([&] { return player.is_finished(); }));
    EXPECT_EQ(player.state(), 0);
    connect(source, nullptr);
}

TEST_F(PlayerTest, NoSpeakerFinishes) {
    m_env.set("QUILLON_AUDIO_OUT", path("no/such/folder/out.wav"));
    audio_test::ByteSource source(audio_test::speech_like(8000, 8000), AudioFormat{1, 16, 8000});
    PlayerPCM player;
    connect(source, &player);
    player.play();
    ASSERT_TRUE(poll_until([&] { return player.is_finished(); }));
    EXPECT_EQ(player.state(), 0);
    connect(source, nullptr);
}

TEST_F(PlayerTest, FormatChangeEndsAtTheBoundary) {
    // Two sources behind one port: 1 s of 8 kHz, then 11,025 Hz.
    class Switching : public AudioPort {
    public:
        AudioBlock get_data(int) override {
            if (calls++ == 0) return AudioBlock(16000, AudioFormat{1, 16, 8000});
            return AudioBlock(4000, AudioFormat{1, 16, 11025});
        }
        int calls = 0;
    } source;
    PlayerPCM player;
    connect(source, &player);
    player.play();
    ASSERT_TRUE(poll_until([&] { return player.is_finished() && player.state() == 0; }));
    connect(source, nullptr);
    AudioFormat written;
    EXPECT_EQ(audio_test::read_wav_data(path("speaker.wav"), written).size(), 16000u);
    EXPECT_EQ(written.rate, 8000);
}

TEST_F(PlayerTest, StereoLevelsPauseAndStop) {
    m_env.set("QUILLON_AUDIO_PACE", "1");  // real time, so playback is still going when we look
    std::vector<uint8_t> stereo;
    for (int f = 0; f < 8000 * 10; ++f) {
        audio_test::put_u16(stereo, static_cast<uint16_t>(f % 2 ? 16384 : -16384));
        audio_test::put_u16(stereo, static_cast<uint16_t>(f % 2 ? 8192 : -8192));
    }
    audio_test::ByteSource source(stereo, AudioFormat{2, 16, 8000});
    PlayerPCM player;
    connect(source, &player);
    player.set_volume(1.5);
    EXPECT_EQ(player.volume(), 1.0);
    player.play();
    ASSERT_TRUE(poll_until([&] { return player.level(0) > 0.0; }));
    EXPECT_DOUBLE_EQ(player.level(0), 0.5);
    EXPECT_DOUBLE_EQ(player.level(1), 0.25);
    EXPECT_DOUBLE_EQ(player.level(7), 0.25);
    player.pause();
    player.play();  // restarts the paused device
    EXPECT_FALSE(player.is_finished());
    player.stop();
    EXPECT_TRUE(player.is_finished());
    ASSERT_TRUE(poll_until([&] { return player.state() == 0; }));
    connect(source, nullptr);
}
