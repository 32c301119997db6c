// Calls against a real sound server that this test starts: a PulseAudio null sink is the phone's
// output, where the far side talks all along (a 400 Hz tone), and a null source the microphone (a
// sine source of 600 Hz where the near side must be heard). What the file lacks of the time from the connection to the
// end of capture was lost at the start. Skipped where pulseaudio is not installed.
#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "os/tick.h"
#include "telephony/phone_publisher.h"
#include "tests/calls/calls_test_support.h"
#include "tests/document/document_test_support.h"

namespace {

using namespace calls_test;

constexpr int tone_rate = 16000;
constexpr double far_hz = 400.0;
constexpr double near_hz = 600.0;
// module-sine's level, about a fifth of full scale after the server's volume.
constexpr double far_level = 2000.0;

bool run_shell(const std::string& command) { return std::system(command.c_str()) == 0; }

pid_t start_program(const std::vector<std::string>& args, const std::string& log) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        std::vector<char*> argv;
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

// PulseAudio 16, or with QUILLON_TEST_SOUND_SERVER=pipewire PipeWire with its pulse server (and
// WirePlumber), in the folder as XDG_RUNTIME_DIR.
class SoundServer {
public:
    explicit SoundServer(const std::string& folder) : m_folder(folder) {
        m_env.set("XDG_RUNTIME_DIR", folder);
        m_env.unset("PULSE_SERVER");
        if (pipewire()) {
            m_pids.push_back(start_program({"pipewire"}, folder + "/pipewire.log"));
            m_ok = wait_for_server(false);
            m_pids.push_back(start_program({"wireplumber"}, folder + "/wireplumber.log"));
            m_pids.push_back(start_program({"pipewire-pulse"}, folder + "/pipewire-pulse.log"));
            m_ok = m_ok && wait_for_server(true) &&
                   run_shell(
                       "pactl load-module module-null-sink sink_name=qsink >/dev/null && "
                       "pactl load-module module-null-sink sink_name=near media.class=Audio/Source/Virtual "
                       ">/dev/null && pactl set-default-sink qsink && pactl set-default-source near");
            return;
        }
        start_pulseaudio();
    }
    // PulseAudio dies at once, as a crashed server does.
    void kill_pulseaudio() {
        if (m_pulse > 0) ::kill(m_pulse, SIGKILL);
        for (int i = 0; i < 200 && m_pulse > 0 && ::kill(m_pulse, 0) == 0; ++i) sleep_seconds(0.05);
        std::erase(m_pids, m_pulse);
        m_pulse = 0;
        // What a killed server leaves behind would keep the next one from starting.
        std::error_code error;
        std::filesystem::remove(m_folder + "/pulse/pid", error);
        std::filesystem::remove(m_folder + "/pulse/native", error);
    }
    void start_pulseaudio() {
        m_ok = run_shell(
                   "pulseaudio --daemonize=yes --exit-idle-time=-1 -n --load=module-native-protocol-unix "
                   "--load='module-null-sink sink_name=qsink' --load='module-null-source source_name=near' "
                   ">/dev/null 2>&1") &&
               run_shell("pactl set-default-sink qsink && pactl set-default-source near");
        std::ifstream(m_folder + "/pulse/pid") >> m_pulse;
        if (m_pulse > 0) m_pids.push_back(m_pulse);
    }
    ~SoundServer() {
        for (auto it = m_pids.rbegin(); it != m_pids.rend(); ++it) {
            if (*it > 0) ::kill(*it, SIGTERM);
        }
        for (pid_t pid : m_pids) {
            if (pid > 0) ::waitpid(pid, nullptr, WNOHANG);
        }
    }
    bool ok() const { return m_ok; }
    static bool pipewire() {
        const char* which = std::getenv("QUILLON_TEST_SOUND_SERVER");
        return which && std::string(which) == "pipewire";
    }

    // The far side: a 400 Hz tone played into the phone's output all along, as a modem's audio
    // reaches it through the server's loopback (PulseAudio's own sine; PipeWire has none, so a
    // client plays it there).
    bool start_far_side(const std::string& scratch) {
        if (!pipewire()) return run_shell("pactl load-module module-sine sink=qsink frequency=400 >/dev/null");
        const std::string tone = scratch + "/far.raw";
        std::string bytes;
        for (int f = 0; f < tone_rate * 60; ++f) {
            const auto s = static_cast<int16_t>(far_level * 3 * std::sin(2 * M_PI * far_hz * f / tone_rate));
            bytes += static_cast<char>(s & 0xFF);
            bytes += static_cast<char>((s >> 8) & 0xFF);
        }
        write_bytes(tone, bytes);
        m_pids.push_back(start_program(
            {"pacat", "--playback", "--raw", "--format=s16le", "--rate=16000", "--channels=1", "--device=qsink", tone},
            m_folder + "/pacat.log"));
        return true;
    }

private:
    bool wait_for_server(bool pulse) {
        const std::string socket = m_folder + (pulse ? "/pulse/native" : "/pipewire-0");
        for (int i = 0; i < 200; ++i) {
            if (::access(socket.c_str(), F_OK) == 0) return true;
            sleep_seconds(0.05);
        }
        return false;
    }

    std::string m_folder;
    ScopedEnv m_env;
    std::vector<pid_t> m_pids;
    pid_t m_pulse = 0;
    bool m_ok = false;
};

// The file's audio as mono samples, with its rate.
std::vector<int16_t> decoded(const std::string& path, int& rate) {
    std::vector<int16_t> samples;
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    if (!reader) return samples;
    rate = reader->info().rate();
    const int channels = std::max(1, reader->info().channels());
    for (;;) {
        const AudioBlock block = reader->output().get_data(4096);
        if (block.is_empty()) break;
        const auto* data = reinterpret_cast<const int16_t*>(block.data());
        for (size_t i = 0; i + channels <= block.length() / 2; i += static_cast<size_t>(channels)) {
            samples.push_back(data[i]);
        }
    }
    return samples;
}

double amplitude_at(const std::vector<int16_t>& samples, int rate, size_t begin, size_t count, double hz) {
    double re = 0, im = 0;
    for (size_t i = 0; i < count && begin + i < samples.size(); ++i) {
        const double phase = 2 * M_PI * hz * static_cast<double>(i) / rate;
        re += samples[begin + i] * std::cos(phase);
        im += samples[begin + i] * std::sin(phase);
    }
    return 2 * std::sqrt(re * re + im * im) / static_cast<double>(count);
}

class CallStartAudio : public CallsFixture {
protected:
    void SetUp() override {
        const char* server_program = SoundServer::pipewire() ? "/usr/bin/pipewire-pulse" : "/usr/bin/pulseaudio";
        if (::access(server_program, X_OK) != 0 || ::access("/usr/bin/pactl", X_OK) != 0) {
            GTEST_SKIP() << server_program << " is not installed";
        }
        CallsFixture::SetUp();
        ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
        scratch = std::make_unique<TempFolder>("quillon-pulse");
        folder = scratch->path();
        env.unset("QUILLON_AUDIO_IN");
        env.unset("QUILLON_AUDIO_OUT");
        server = std::make_unique<SoundServer>(folder);
        ASSERT_TRUE(server->ok());
    }
    void TearDown() override {
        CallsFixture::TearDown();
        server.reset();
        scratch.reset();
    }

    void start_far_side() { ASSERT_TRUE(server->start_far_side(root.path())); }

    std::unique_ptr<TempFolder> scratch;
    std::string folder;
    std::unique_ptr<SoundServer> server;
};

// The tick at the end of the first log line after `after` that begins with text; -1 when none.
long long tick_after(const std::string& log, const std::string& text, size_t after = 0) {
    for (size_t at = log.find(text, after); at != std::string::npos; at = log.find(text, at + 1)) {
        if (at != 0 && log[at - 1] != '\n') continue;
        const size_t end = log.find('\n', at);
        const size_t space = log.rfind(' ', end);
        return std::atoll(log.substr(space + 1, end - space - 1).c_str());
    }
    return -1;
}

TEST_F(CallStartAudio, FirstMomentsOfTheCallAreInTheFile) {
    start_far_side();
    start_touch();
    ASSERT_TRUE(publish_incoming({os::from_utf8(caller_number), std::nullopt, true}).ok);
    sync_touch();
    // The call connects: from this moment on every word belongs in the file.
    const uint32_t connected = os::tick_count();
    ASSERT_TRUE(publish_answer().ok);
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents() + "/Incoming")).empty(); }, 20.0));
    // Three seconds of call, then the end.
    sleep_seconds(3.0);
    ASSERT_TRUE(publish_hangup().ok);
    EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 20.0));
    sync_touch();
    const std::string log = touch_log();
    EXPECT_EQ(stop_touch(), 0);

    // Capture ends where the monitor tells the end of the call; what the file lacks of the time
    // from the connection to then was lost at the start.
    const long long ended = tick_after(log, "CallMonitorImpl call=0 ");
    ASSERT_GT(ended, 0) << log;
    int rate = 0;
    const std::vector<int16_t> samples = decoded(found.front(), rate);
    ASSERT_GT(rate, 0);
    ASSERT_GT(samples.size(), static_cast<size_t>(rate));
    const double captured = static_cast<double>(samples.size()) / rate;
    const double lost =
        static_cast<double>(static_cast<int32_t>(static_cast<uint32_t>(ended) - connected)) / 1000.0 - captured;
    std::printf(
        "[ figure ] audio lost at the start of the call: %.0f ms (call to the end of capture %.3f s, file %.3f s)\n",
        lost * 1000, (ended - connected) / 1000.0, captured);
    if (::getenv("QUILLON_TEST_VERBOSE")) {
        for (size_t at = 0; at + rate / 10 < samples.size(); at += static_cast<size_t>(rate / 10)) {
            std::printf("%.0f ", amplitude_at(samples, rate, at, static_cast<size_t>(rate / 10), far_hz));
        }
        std::printf("\n%s\n", log.c_str());
    }
    // The monitor polls every 0.1 s, and the sound server takes a moment to deliver the first block.
    EXPECT_LT(lost, 0.3);

    // Both sides from the first tenth of a second of the file on.
    const double far_at_start = amplitude_at(samples, rate, 0, static_cast<size_t>(rate / 10), far_hz);
    EXPECT_GT(far_at_start, far_level / 2) << "the far side is missing from the first 0.1 s";
}

TEST_F(CallStartAudio, ARecordingStartedByHandDuringACallHoldsBothSides) {
    if (SoundServer::pipewire())
        GTEST_SKIP() << "PipeWire's pulse server has no sine source to speak for the near side";
    ASSERT_EQ(settings({"AutoRecord", "0"}).status, 0);
    start_far_side();
    ASSERT_TRUE(
        run_shell("pactl load-module module-sine-source source_name=voice frequency=600 >/dev/null && "
                  "pactl set-default-source voice"));
    start_touch();
    ASSERT_TRUE(publish_incoming({os::from_utf8(caller_number), std::nullopt, true}).ok);
    ASSERT_TRUE(publish_answer().ok);
    EXPECT_TRUE(await([&] { return touch_log().find("CallMonitorImpl call=1 ") != std::string::npos; }, 20.0));
    // Automatic recording is off: the user records by hand.
    ASSERT_EQ(run("quillon-touch", {"record"}).status, 0);
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents() + "/Incoming")).empty(); }, 20.0));
    EXPECT_TRUE(await([&] { return tag_written(found.front()) && duration_of(found.front()) > 1.5; }, 20.0));
    ASSERT_EQ(run("quillon-touch", {"record"}).status, 0);  // pauses
    ASSERT_TRUE(publish_hangup().ok);
    sync_touch();
    EXPECT_EQ(stop_touch(), 0);

    int rate = 0;
    const std::vector<int16_t> samples = decoded(found.front(), rate);
    ASSERT_GT(samples.size(), static_cast<size_t>(rate));
    const size_t second = static_cast<size_t>(rate / 2);
    const double far = amplitude_at(samples, rate, second, second, far_hz);
    const double near = amplitude_at(samples, rate, second, second, near_hz);
    std::printf("[ figure ] recording by hand during a call: far side %.0f, near side %.0f\n", far, near);
    EXPECT_GT(far, far_level / 2);
    EXPECT_GT(near, far_level / 2);
    EXPECT_EQ(read_record_tags(os::from_utf8(found.front())).artist, os::from_utf8(caller_name));
}

TEST_F(CallStartAudio, ASoundServerThatDiesMidCallIsToldAndTheRecordingGoesOnWhenItIsBack) {
    if (SoundServer::pipewire()) GTEST_SKIP() << "restarts PulseAudio itself";
    start_far_side();
    start_touch();
    ASSERT_TRUE(publish_incoming({os::from_utf8(caller_number), std::nullopt, true}).ok);
    ASSERT_TRUE(publish_answer().ok);
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents() + "/Incoming")).empty(); }, 20.0));
    const std::string path = found.front();
    ASSERT_TRUE(await([&] { return tag_written(path) && duration_of(path) > 1.0; }, 20.0));

    server->kill_pulseaudio();
    EXPECT_TRUE(
        await([&] { return touch_log().find("recorder lost: the sound server went away") != std::string::npos; }, 20.0))
        << touch_log();
    sleep_seconds(1.0);
    server->start_pulseaudio();
    ASSERT_TRUE(server->ok());
    start_far_side();
    EXPECT_TRUE(await([&] { return touch_log().find("recorder back after ") != std::string::npos; }, 20.0));
    sync_touch();
    // The same file goes on with the call's audio.
    const double at_return = duration_of(path);
    EXPECT_TRUE(await([&] { return duration_of(path) > at_return + 1.0; }, 20.0)) << at_return;
    ASSERT_TRUE(publish_hangup().ok);
    EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 20.0));
    sync_touch();
    EXPECT_EQ(stop_touch(), 0);
    EXPECT_EQ(recordings(documents(), true).size(), 1u);
    int rate = 0;
    const std::vector<int16_t> samples = decoded(path, rate);
    ASSERT_GT(rate, 0);
    // The far side is heard again in the file after the server came back.
    const size_t tenth = static_cast<size_t>(rate / 10);
    double heard_again = 0;
    for (size_t at = static_cast<size_t>(at_return * rate); at + 3 * tenth < samples.size(); at += tenth) {
        heard_again = std::max(heard_again, amplitude_at(samples, rate, at, 3 * tenth, far_hz));
    }
    std::printf("[ figure ] far side after the sound server came back: %.0f\n", heard_again);
    EXPECT_GT(heard_again, far_level / 2);
}

TEST_F(CallStartAudio, ASoundServerThatDiesDuringAVoiceNoteIsLoggedAndToldAndTheNoteGoesOnWhenItIsBack) {
    if (SoundServer::pipewire()) GTEST_SKIP() << "kills PulseAudio itself";
    start_touch();
    // A voice note: the microphone through SDL from the server's default source.
    ASSERT_EQ(run("quillon-touch", {"record"}).status, 0);
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents())).empty(); }, 20.0)) << touch_log();
    const std::string path = found.front();
    ASSERT_TRUE(await([&] { return tag_written(path) && duration_of(path) > 1.0; }, 20.0)) << touch_log();
    EXPECT_EQ(touch_log().find("recorder lost"), std::string::npos) << touch_log();

    server->kill_pulseaudio();
    EXPECT_TRUE(await(
        [&] {
            return touch_log().find(
                       "recorder lost: the sound input went away (the microphone or the sound server was "
                       "lost)") != std::string::npos;
        },
        20.0))
        << touch_log();
    EXPECT_TRUE(
        await([&] { return touch_log().find("main screen: the sound input was lost\n") != std::string::npos; }, 10.0))
        << touch_log();
    sync_touch();
    const double kept = duration_of(path);
    EXPECT_GT(kept, 1.0);
    // The server comes back: the voice note goes on in the same file.
    server->start_pulseaudio();
    ASSERT_TRUE(server->ok());
    EXPECT_TRUE(await([&] { return touch_log().find("recorder back after ") != std::string::npos; }, 20.0))
        << touch_log();
    EXPECT_TRUE(await([&] { return duration_of(path) > kept + 1.0; }, 20.0)) << kept;
    // Stopped by hand, the recording ends whole with what was captured.
    ASSERT_EQ(run("quillon-touch", {"record"}).status, 0);
    sync_touch();
    EXPECT_EQ(stop_touch(), 0);
    EXPECT_GE(duration_of(path), kept);
    // Told once per loss, not at every retry.
    const std::string log = touch_log();
    EXPECT_EQ(log.find("main screen: the sound input was lost", log.find("main screen: the sound input was lost") + 1),
              std::string::npos)
        << log;
}

}  // namespace
