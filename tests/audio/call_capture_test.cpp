// Both sides of a call against a real sound server: a PulseAudio null sink is the phone's output
// (the far side is played into it) and a pipe source is its microphone (the near side is written
// into it). The call capture must hold both tones at their own levels. Skipped where pulseaudio is
// not installed.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <fstream>
#include <thread>

#include "audio/player_pcm.h"
#include "audio/recorder_pcm_impl.h"
#include "audio_test_support.h"

// libpulse's lasting allocations are kept out of the leak check by sdl_loopback_test.cpp, which
// shares this program.

namespace {

constexpr int rate = 16000;
constexpr double near_hz = 440.0, near_amplitude = 8000.0;
constexpr double far_hz = 1000.0, far_amplitude = 6000.0;

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

std::vector<int16_t> samples_of(const std::vector<uint8_t>& bytes) {
    std::vector<int16_t> out(bytes.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return out;
}

// The amplitude of one frequency in the samples (a single-bin Fourier transform).
double amplitude_at(const std::vector<int16_t>& samples, size_t begin, size_t count, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < count; ++i) {
        const double phase = 2 * M_PI * hz * static_cast<double>(i) / rate;
        re += samples[begin + i] * std::cos(phase);
        im += samples[begin + i] * std::sin(phase);
    }
    return 2 * std::sqrt(re * re + im * im) / static_cast<double>(count);
}

class SoundServer {
public:
    explicit SoundServer(const std::string& folder) : m_folder(folder) {
        m_env.set("XDG_RUNTIME_DIR", folder);
        m_env.unset("PULSE_SERVER");
        m_ok = run("pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-native-protocol-unix "
                   "--load='module-null-sink sink_name=qsink' --load='module-pipe-source source_name=near file=" +
                   folder + "/near.fifo format=s16le rate=16000 channels=1' >/dev/null 2>&1") &&
               run("pactl set-default-sink qsink && pactl set-default-source near");
        std::ifstream(folder + "/pulse/pid") >> m_pid;
    }
    ~SoundServer() {
        if (m_pid > 0) kill(m_pid, SIGTERM);
        // Gone before its folder is: it takes its socket and pid file away as it ends.
        for (int i = 0; i < 250 && m_pid > 0 && kill(m_pid, 0) == 0; ++i) usleep(20000);
    }
    bool ok() const { return m_ok; }

private:
    std::string m_folder;
    test_support::ScopedEnv m_env;
    pid_t m_pid = 0;
    bool m_ok = false;
};

TEST(CallCapture, BothSidesOfTheCallAtTheirLevels) {
    if (access("/usr/bin/pulseaudio", X_OK) != 0 || access("/usr/bin/pactl", X_OK) != 0) {
        GTEST_SKIP() << "pulseaudio is not installed";
    }
    const test_support::TempRoot scratch("quillon-audio");
    const std::string folder = scratch.path();
    test_support::ScopedEnv env;
    env.unset("QUILLON_AUDIO_IN");
    env.unset("QUILLON_AUDIO_OUT");
    SoundServer server(folder);
    ASSERT_TRUE(server.ok());

    // The near side talks in real time, as a microphone would.
    std::atomic<bool> talking{true};
    std::thread near([&] {
        const int fifo = ::open((folder + "/near.fifo").c_str(), O_WRONLY);
        if (fifo < 0) return;
        std::vector<int16_t> chunk(rate / 50);
        auto next = std::chrono::steady_clock::now();
        for (long f = 0; talking; next += std::chrono::milliseconds(20)) {
            for (int16_t& sample : chunk) {
                sample = static_cast<int16_t>(near_amplitude * std::sin(2 * M_PI * near_hz * f++ / rate));
            }
            if (::write(fifo, chunk.data(), chunk.size() * 2) < 0) break;
            std::this_thread::sleep_until(next);
        }
        ::close(fifo);
    });

    const AudioFormat format{1, 16, rate};
    std::vector<uint8_t> tone;
    for (int f = 0; f < rate * 3; ++f) {
        audio_test::put_u16(
            tone, static_cast<uint16_t>(static_cast<int16_t>(far_amplitude * std::sin(2 * M_PI * far_hz * f / rate))));
    }
    audio_test::ByteSource source(tone, format);
    audio_test::CollectingSink heard;
    {
        RecorderPCMImpl recorder(1, rate, 16, CaptureSource::call_both_sides);
        ASSERT_TRUE(recorder.is_ok());
        connect(recorder, &heard);
        recorder.start();
        PlayerPCM player;
        connect(source, &player);
        player.play();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(15);
        while (!player.is_finished() && std::chrono::steady_clock::now() < deadline) heard.arrived.wait_for(200);
        EXPECT_TRUE(player.is_finished());
        connect(source, nullptr);
        connect(recorder, nullptr);
    }
    talking = false;
    near.join();

    const std::vector<int16_t> got = samples_of(heard.snapshot());
    ASSERT_GT(got.size(), static_cast<size_t>(rate * 2));
    // The window where both sides surely sound: past the start, before the far tone ends.
    double best_near = 0, best_far = 0;
    for (size_t begin = rate / 2; begin + rate / 2 <= got.size(); begin += rate / 4) {
        const double n = amplitude_at(got, begin, rate / 2, near_hz);
        const double f = amplitude_at(got, begin, rate / 2, far_hz);
        if (std::min(n / near_amplitude, f / far_amplitude) >
            std::min(best_near / near_amplitude, best_far / far_amplitude)) {
            best_near = n;
            best_far = f;
        }
    }
    EXPECT_NEAR(best_near, near_amplitude, near_amplitude * 0.2);
    EXPECT_NEAR(best_far, far_amplitude, far_amplitude * 0.2);
    std::printf("[ figure ] near side %.0f of %.0f, far side %.0f of %.0f\n", best_near, near_amplitude, best_far,
                far_amplitude);
}

}  // namespace
