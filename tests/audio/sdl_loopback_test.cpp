// The SDL backends against a real sound server: a PulseAudio null sink plays what the player
// sends, and its monitor is the recorder's microphone. Skipped where pulseaudio is not installed.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "audio/player_pcm.h"
#include "audio/recorder_pcm_impl.h"
#include "audio_test_support.h"

// The sound-server client library and SDL's audio subsystem (initialised once, never shut down
// while devices may still open on other threads) keep a few allocations for the life of the process.
extern "C" const char* __lsan_default_suppressions() { return "leak:libpulse.so\nleak:libSDL2\n"; }

namespace {

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

}  // namespace

TEST(SdlLoopback, PlayedToneIsHeardOnTheMonitor) {
    if (access("/usr/bin/pulseaudio", X_OK) != 0 || access("/usr/bin/pactl", X_OK) != 0) {
        GTEST_SKIP() << "pulseaudio is not installed";
    }
    const test_support::TempRoot scratch("quillon-audio");
    const std::string folder = scratch.path();
    test_support::ScopedEnv env;
    env.set("XDG_RUNTIME_DIR", folder);
    env.unset("QUILLON_AUDIO_IN");
    env.unset("QUILLON_AUDIO_OUT");
    env.unset("PULSE_SERVER");
    ASSERT_TRUE(
        run("pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-native-protocol-unix "
            "--load='module-null-sink sink_name=qsink' >/dev/null 2>&1"));
    ASSERT_TRUE(run("pactl set-default-source qsink.monitor && pactl set-default-sink qsink"));
    pid_t server = 0;
    std::ifstream(folder + "/pulse/pid") >> server;

    const AudioFormat format{1, 16, 16000};
    std::vector<uint8_t> tone;
    for (int f = 0; f < 16000 * 3; ++f) {
        audio_test::put_u16(
            tone, static_cast<uint16_t>(static_cast<int16_t>(16000 * std::sin(2 * M_PI * 500.0 * f / 16000))));
    }
    audio_test::ByteSource source(tone, format);
    audio_test::CollectingSink heard;
    {
        RecorderPCMImpl recorder(1, 16000, 16);
        ASSERT_TRUE(recorder.is_ok());
        connect(recorder, &heard);
        recorder.start();
        PlayerPCM player;
        connect(source, &player);
        player.play();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!player.is_finished() && std::chrono::steady_clock::now() < deadline) {
            heard.arrived.wait_for(200);
        }
        EXPECT_TRUE(player.is_finished());
        connect(source, nullptr);
        connect(recorder, nullptr);
    }
    if (server > 0) kill(server, SIGTERM);
    for (int i = 0; i < 250 && server > 0 && kill(server, 0) == 0; ++i) usleep(20000);  // ended before its folder goes
    const auto got = heard.snapshot();
    ASSERT_GT(got.size(), 16000u);  // more than half a second captured
    int peak = 0;
    for (std::size_t i = 0; i + 1 < got.size(); i += 2) {
        peak = std::max(peak, std::abs(static_cast<int>(static_cast<int16_t>(got[i] | got[i + 1] << 8))));
    }
    EXPECT_GT(peak, 8000);  // the tone came back through the server
}
