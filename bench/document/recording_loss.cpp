// How much of a voice note is lost at its end, measured on quillon-tool as a real process with a
// file microphone that plays a tone in real time:
//
// - at stop: `record --seconds N` captures from the start of recording until its N s timer stops
//   it; the loss is N minus the seconds the file plays.
// - after kill -9: `record` is killed N + 0.2 k s (k = 0..4, spread over the one-second checkpoint
//   cycle) after it reported the recording started; the loss is that time minus the seconds the
//   file left behind plays (what a player decodes from it).
//
//     recording_loss [--tool PATH/quillon-tool] [--runs R] [--seconds N]
//
// The tool defaults to the one built beside this program; point --tool at another build to
// compare. Prints one line per format with the mean and worst loss in milliseconds.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"
#include "tests/support/wav_file.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Child {
    pid_t pid = -1;
    int output = -1;
};

Child start(const std::string& program, const std::vector<std::string>& args) {
    int ends[2];
    if (::pipe(ends) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(ends[1], 1);
        ::close(ends[0]);
        ::close(ends[1]);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(ends[1]);
    return {pid, ends[0]};
}

std::string read_line(const Child& child) {
    std::string line;
    char c = 0;
    while (::read(child.output, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

void finish(const Child& child) {
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    ::close(child.output);
}

// Seconds of audio a player decodes from the file (an MP3 holds the encoder's delay and padding,
// a few dozen milliseconds, on top of what was recorded).
double plays_seconds(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    if (!reader) return 0.0;
    int64_t frames = 0;
    int rate = 0;
    for (AudioBlock block = reader->output().get_data(4096); !block.is_empty();
         block = reader->output().get_data(4096)) {
        frames += block.frames();
        rate = block.rate();
    }
    return rate > 0 ? static_cast<double>(frames) / rate : 0.0;
}

struct Loss {
    double mean_ms = 0;
    double worst_ms = 0;
};

Loss summary(const std::vector<double>& losses) {
    Loss loss;
    for (double value : losses) {
        loss.mean_ms += value / static_cast<double>(losses.size());
        loss.worst_ms = std::max(loss.worst_ms, value);
    }
    return loss;
}

}  // namespace

int main(int argc, char** argv) {
    std::string tool = std::filesystem::path(argv[0]).parent_path().parent_path().string() + "/bin/quillon-tool";
    int runs = 3;
    double seconds = 2.0;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        if (name == "--tool") tool = argv[i + 1];
        if (name == "--runs") runs = std::max(1, std::atoi(argv[i + 1]));
        if (name == "--seconds") seconds = std::max(0.5, std::atof(argv[i + 1]));
    }
    const test_support::TempRoot scratch("quillon-loss");
    const std::string root = scratch.path();
    test_support::ScopedEnv env;
    env.set("QUILLON_APP_DIR", std::filesystem::path(tool).parent_path().string());
    env.set("QUILLON_AUDIO_IN", root + "/microphone.wav");
    env.set("QUILLON_AUDIO_OUT", root + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "1");
    test_support::write_tone(root + "/microphone.wav", 44100, 120.0);

    std::printf("tool %s, %d runs of %.1f s\n", tool.c_str(), runs, seconds);
    std::printf("%-10s %18s %18s\n", "format", "stop: mean/worst", "kill -9: mean/worst");
    for (const char* format : {"PCM", "Mp3Middle", "GSM"}) {
        std::vector<double> at_stop, at_kill;
        for (int run = 0; run < runs; ++run) {
            Child record = start(tool, {"record", "--format", format, "--seconds", std::to_string(seconds)});
            const std::string stopped = read_line(record);
            finish(record);
            at_stop.push_back((seconds - plays_seconds(stopped)) * 1000.0);

            Child killed = start(tool, {"record", "--format", format});
            const std::string path = read_line(killed);
            const Clock::time_point begun = Clock::now();
            // The kills fall at different moments of the one-second checkpoint cycle.
            const double kill_after = seconds + 0.2 * (run % 5);
            while (std::chrono::duration<double>(Clock::now() - begun).count() < kill_after) ::usleep(1000);
            ::kill(killed.pid, SIGKILL);
            const double ran = std::chrono::duration<double>(Clock::now() - begun).count();
            finish(killed);
            at_kill.push_back((ran - plays_seconds(path)) * 1000.0);
        }
        const Loss stop = summary(at_stop);
        const Loss kill = summary(at_kill);
        std::printf("%-10s %8.0f/%-8.0f ms %8.0f/%-8.0f ms\n", format, stop.mean_ms, stop.worst_ms, kill.mean_ms,
                    kill.worst_ms);
    }
    return 0;
}
