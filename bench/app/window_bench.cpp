// The window's costs. Presenting a 480 × 800 RGB565 frame through the window's streaming texture,
// as a ratio against a memcpy of the same frame in the same run; and the CPU that quillon-touch
// spends with its window open and nothing changing, over 10 s, as a fraction of one core (against
// the same program without a window, measured in the same run).
//
// Without DISPLAY the benchmark starts its own Xvfb on a free display and stops it by its pid.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "skin/display/display.h"
#include "skin/display/platform_window.h"
#include "tests/support/temp_folder.h"

extern char** environ;

namespace {

constexpr int32_t kWidth = 480;
constexpr int32_t kHeight = 800;

double now_seconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

struct Cost {
    double wall = 1e9;    // the renderer and the display server may work on threads of their own
    double thread = 1e9;  // what the GUI thread itself spends, whatever else the machine runs
};

// Seconds per call of `work`, the best of a few runs of `reps` calls.
template <typename Work>
Cost cost_per_call(Work&& work, int reps = 50) {
    Cost best;
    for (int round = 0; round < 5; ++round) {
        const double start = now_seconds();
        const double start_thread = thread_seconds();
        for (int i = 0; i < reps; ++i) work();
        best.wall = std::min(best.wall, (now_seconds() - start) / reps);
        best.thread = std::min(best.thread, (thread_seconds() - start_thread) / reps);
    }
    return best;
}

pid_t spawn(const std::vector<std::string>& words, bool quiet) {
    std::vector<char*> argv;
    for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (quiet) posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid = -1;
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// An X server for the run: the user's, or an Xvfb of our own.
class XServer {
public:
    XServer() {
        if (std::getenv("DISPLAY")) return;
        int fds[2];
        if (::pipe(fds) != 0) return;
        m_pid = spawn(
            {"/usr/bin/Xvfb", "-displayfd", std::to_string(fds[1]), "-screen", "0", "1024x900x24", "-nolisten", "tcp"},
            true);
        ::close(fds[1]);
        std::string number;
        pollfd readable{fds[0], POLLIN, 0};
        char c = 0;
        while (m_pid > 0 && ::poll(&readable, 1, 20000) == 1 && ::read(fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(fds[0]);
        if (!number.empty()) ::setenv("DISPLAY", (":" + number).c_str(), 1);
    }
    ~XServer() {
        if (m_pid <= 0) return;
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        ::unsetenv("DISPLAY");
    }

private:
    pid_t m_pid = -1;
};

void BM_PresentFrameVsMemcpy(benchmark::State& state) {
    XServer server;
    std::string error;
    auto video = VideoSession::open(error);
    if (!video) {
        ::setenv("SDL_VIDEODRIVER", "dummy", 1);
        video = VideoSession::open(error);
    }
    if (!video) {
        state.SkipWithError(error.c_str());
        return;
    }
    PlatformWindow::Options options;
    options.title = "present";
    auto window = PlatformWindow::create(options);
    DisplayParams params{kWidth, kHeight, 0, 1};
    auto display = window ? window->create_display(params) : nullptr;
    if (!display) {
        state.SkipWithError("no display");
        return;
    }
    auto frame = create_bitmap(kWidth, kHeight);
    auto copy = create_bitmap(kWidth, kHeight);
    for (int32_t y = 0; y < kHeight; ++y) {
        for (int32_t x = 0; x < kWidth; ++x) frame->at(x, y) = static_cast<Pixel>(x * 31 + y * 7);
    }
    const size_t bytes = static_cast<size_t>(frame->pitch()) * kHeight;
    Cost baseline, measured;
    for (auto _ : state) {
        baseline = cost_per_call([&] {
            std::memcpy(copy->row(0), frame->row(0), bytes);
            benchmark::ClobberMemory();
        });
        measured = cost_per_call([&] { display->present(*frame); });
    }
    state.counters["ratio_vs_memcpy"] = measured.wall / baseline.wall;
    state.counters["thread_ratio_vs_memcpy"] = measured.thread / baseline.thread;
    state.counters["us_per_present"] = measured.wall * 1e6;
    state.counters["thread_us_per_present"] = measured.thread * 1e6;
    state.SetLabel(video->driver());
}
BENCHMARK(BM_PresentFrameVsMemcpy)->Iterations(1)->Unit(benchmark::kMillisecond);

// User and system CPU seconds of a process so far.
double cpu_seconds_of(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const size_t end = text.rfind(')');
    if (end == std::string::npos) return 0;
    std::vector<std::string> fields;
    size_t at = end + 2;
    while (at < text.size()) {
        const size_t space = text.find(' ', at);
        fields.push_back(text.substr(at, space - at));
        if (space == std::string::npos) break;
        at = space + 1;
    }
    // Fields 14 and 15 of the file; the list starts at field 3.
    if (fields.size() < 13) return 0;
    return (std::stod(fields[11]) + std::stod(fields[12])) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// Starts quillon-touch in a fresh root, lets its start-up finish, and returns its CPU load over
// the measured seconds as a fraction of one core.
double idle_load(bool window, double seconds) {
    const test_support::TempRoot scratch("quillon-bench");
    const std::string root = scratch.path();
    test_support::ScopedEnv env;
    env.set("QUILLON_AUDIO_OUT", root + "/speaker.wav");
    const std::string shot = root + "/shot.png";
    env.set("QUILLON_SCREENSHOT", shot);
    std::vector<std::string> words = {std::string(QUILLON_BIN_DIR) + "/quillon-touch"};
    if (!window) words.push_back("--headless");
    const pid_t pid = spawn(words, true);
    double load = -1;
    if (pid > 0) {
        // The first frame, then the splash timer and the second loading phase.
        for (int i = 0; i < 200 && !std::filesystem::exists(shot); ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        std::this_thread::sleep_for(std::chrono::seconds(2));
        const double cpu_before = cpu_seconds_of(pid);
        const double start = now_seconds();
        std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
        load = (cpu_seconds_of(pid) - cpu_before) / (now_seconds() - start);
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
    return load;
}

void BM_IdleTouchWithWindow(benchmark::State& state) {
    XServer server;
    double with_window = 0, headless = 0;
    for (auto _ : state) {
        with_window = idle_load(true, 10.0);
        headless = idle_load(false, 10.0);
    }
    state.counters["core_fraction"] = with_window;
    state.counters["percent_of_1pct_budget"] = with_window / 0.01 * 100.0;
    state.counters["headless_core_fraction"] = headless;
}
BENCHMARK(BM_IdleTouchWithWindow)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

}  // namespace
