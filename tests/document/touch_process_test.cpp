// quillon-touch owning the document: command words handed over by a second start reach the
// running instance's recording, and SIGTERM finishes the file.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "os/event.h"
#include "os/stopwatch.h"
#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"

namespace {

namespace fs = std::filesystem;

pid_t start_touch(const char* word) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-touch";
        if (word) {
            ::execl(program.c_str(), program.c_str(), word, static_cast<char*>(nullptr));
        } else {
            ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        }
        ::_exit(127);
    }
    return pid;
}

int exit_status(pid_t pid) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The one recording in the folder, once it exists; empty after the time limit.
std::string wait_for_recording(const std::string& folder, double seconds) {
    const Stopwatch watch;
    while (watch.elapsed() < seconds) {
        if (fs::is_directory(folder)) {
            for (const auto& entry : fs::directory_iterator(folder)) {
                if (entry.path().extension() == ".mp3") return entry.path().string();
            }
        }
        sleep_seconds(0.05);
    }
    return {};
}

TEST(TouchProcess, HandedOverRecordStartsAndPausesAVoiceNote) {
    TempRoot root;
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    ::setenv("QUILLON_AUDIO_IN", microphone.c_str(), 1);
    ::setenv("QUILLON_AUDIO_OUT", (root.path() + "/speaker.wav").c_str(), 1);
    ::setenv("QUILLON_AUDIO_PACE", "1", 1);
    ::unsetenv("QUILLON_APP_DIR");

    const pid_t running = start_touch(nullptr);
    // Until the first instance holds the start-up lock, a second start could become the first;
    // its hand-over socket shows that it is up.
    const std::string socket = root.path() + "/GlazerClass_Quillon Touch.socket";
    const Stopwatch ready;
    while (!fs::exists(socket) && ready.elapsed() < 10.0) sleep_seconds(0.02);
    ASSERT_TRUE(fs::exists(socket));
    // A second start hands its words over and exits 0.
    ASSERT_EQ(exit_status(start_touch("record")), 0);
    const std::string path = wait_for_recording(root.path() + "/Documents/My Quillon", 10.0);
    ASSERT_FALSE(path.empty());
    const Stopwatch watch;
    sleep_seconds(1.5);
    ASSERT_EQ(exit_status(start_touch("record")), 0);  // pauses
    sleep_seconds(1.5);  // past the next per-second write
    const auto paused_size = fs::file_size(path);
    sleep_seconds(1.5);
    EXPECT_EQ(fs::file_size(path), paused_size);

    ::kill(running, SIGTERM);
    EXPECT_EQ(exit_status(running), 0);
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    ASSERT_TRUE(reader);
    // About 1.5 s were recorded before the pause, out of more than 4.5 s.
    EXPECT_GT(reader->info().duration(), 1.0);
    EXPECT_LT(reader->info().duration(), watch.elapsed() - 2.0);
}

// The exit status, or -2 when the process has not ended within the limit (it is then killed).
int exit_status_within(pid_t pid, double seconds) {
    const Stopwatch watch;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (watch.elapsed() > seconds) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -2;
        }
        sleep_seconds(0.02);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(TouchProcess, SighupFinishesTheRecordingAsSigtermDoes) {
    TempRoot root;
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    ::setenv("QUILLON_AUDIO_IN", microphone.c_str(), 1);
    ::setenv("QUILLON_AUDIO_OUT", (root.path() + "/speaker.wav").c_str(), 1);
    ::setenv("QUILLON_AUDIO_PACE", "1", 1);
    ::unsetenv("QUILLON_APP_DIR");

    const pid_t running = start_touch("record");
    const std::string path = wait_for_recording(root.path() + "/Documents/My Quillon", 10.0);
    ASSERT_FALSE(path.empty());
    const Stopwatch watch;
    sleep_seconds(2.5);  // the moment the terminal closes
    ::kill(running, SIGHUP);
    EXPECT_EQ(exit_status_within(running, 30.0), 0);
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    ASSERT_TRUE(reader);
    // Finished, not cut off: its end is there and nothing is left for the next start to repair.
    EXPECT_GT(reader->info().duration(), watch.elapsed() - 1.0);
    EXPECT_TRUE(!fs::exists(root.path() + "/unfinished") || fs::is_empty(root.path() + "/unfinished"));
}

TEST(TouchProcess, AStartWithoutLanguageOrSkinFailsAndAFifoNeverBlocksIt) {
    TempRoot root;
    ::unsetenv("QUILLON_AUDIO_IN");
    const std::string app = root.path() + "/app";
    fs::create_directories(app + "/skins/bin");
    fs::copy(std::string(QUILLON_BIN_DIR) + "/skins/bin", app + "/skins/bin", fs::copy_options::recursive);
    for (const char* file : {"Voicbeep.wav", "RecEnd.wav"}) fs::copy(std::string(QUILLON_BIN_DIR) + "/" + file, app + "/" + file);
    ::setenv("QUILLON_APP_DIR", app.c_str(), 1);
    ::setenv("LC_ALL", "en_US.UTF-8", 1);

    // No language file at all, or only a FIFO in its place: the start fails, and says so.
    EXPECT_EQ(exit_status_within(start_touch(nullptr), 60.0), 1);
    ASSERT_EQ(::mkfifo((app + "/english.lng").c_str(), 0644), 0);
    EXPECT_EQ(exit_status_within(start_touch(nullptr), 60.0), 1);
    fs::remove(app + "/english.lng");
    fs::copy(std::string(QUILLON_BIN_DIR) + "/english.lng", app + "/english.lng");

    // A FIFO as the main skin: no skin, a failed start, no wait for a writer that never comes.
    fs::rename(app + "/skins/bin/default.skin", app + "/skins/bin/default.skin.kept");
    ASSERT_EQ(::mkfifo((app + "/skins/bin/default.skin").c_str(), 0644), 0);
    EXPECT_EQ(exit_status_within(start_touch(nullptr), 60.0), 1);
    fs::remove(app + "/skins/bin/default.skin");
    fs::rename(app + "/skins/bin/default.skin.kept", app + "/skins/bin/default.skin");

    // A FIFO as keyboard.txt costs the keypad letters, not the start: it runs and quits on SIGTERM.
    ASSERT_EQ(::mkfifo((app + "/keyboard.txt").c_str(), 0644), 0);
    const pid_t running = start_touch(nullptr);
    const std::string socket = root.path() + "/GlazerClass_Quillon Touch.socket";
    const Stopwatch ready;
    while (!fs::exists(socket) && ready.elapsed() < 20.0) sleep_seconds(0.02);
    sleep_seconds(2.0);  // past the splash, into the main screen's loading
    ::kill(running, SIGTERM);
    EXPECT_EQ(exit_status_within(running, 30.0), 0);
    ::unsetenv("QUILLON_APP_DIR");
    ::unsetenv("LC_ALL");
}

}  // namespace
