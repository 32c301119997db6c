// quillon-touch owning the document: command words handed over by a second start reach the
// running instance's recording, and SIGTERM finishes the file.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "audio/readers/file_reader.h"
#include "os/event.h"
#include "os/stopwatch.h"
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

// True once the condition holds, looked at every 20 ms; false after the time limit.
template <typename Condition>
bool wait_until(Condition condition, double seconds) {
    for (const Stopwatch watch; !condition(); sleep_seconds(0.02)) {
        if (watch.elapsed() > seconds) return false;
    }
    return true;
}

// The one recording in the folder, once it exists; empty after the time limit.
std::string wait_for_recording(const std::string& folder, double seconds) {
    std::string found;
    wait_until(
        [&] {
            std::error_code ignored;
            for (const auto& entry : fs::directory_iterator(folder, ignored)) {
                if (entry.path().extension() == ".mp3") found = entry.path().string();
            }
            return !found.empty();
        },
        seconds);
    return found;
}

// Seconds of sound in a recording so far, as its reader sees them.
double recorded_seconds(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    return reader ? reader->info().duration() : 0.0;
}

// The file's size once it has stayed the same for `still` seconds; -1 after the time limit.
long long settled_size(const std::string& path, double still, double seconds) {
    long long size = -1;
    Stopwatch unchanged;
    const bool settled = wait_until(
        [&] {
            std::error_code ignored;
            const auto now = static_cast<long long>(fs::file_size(path, ignored));
            if (now != size) size = now, unchanged.restart();
            return unchanged.elapsed() >= still;
        },
        seconds);
    return settled ? size : -1;
}

int count_of(const std::string& text, const std::string& part) {
    int count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

// The running instance's log, switched on for the tests that follow its handling.
std::string touch_log(const TempRoot& root) {
    return os::to_utf8(read_log_text(root.path() + "/Temp/quillon-touch.txt"));
}

TEST(TouchProcess, HandedOverRecordStartsAndPausesAVoiceNote) {
    TempRoot root;
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    ScopedEnv env;
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "1");
    env.unset("QUILLON_APP_DIR");
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    ASSERT_TRUE(os::reg_flush(kKorvel));

    const pid_t running = start_touch(nullptr);
    // Until the first instance holds the start-up lock, a second start could become the first;
    // its hand-over socket shows that it is up.
    const std::string socket = root.path() + "/GlazerClass_Quillon Touch.socket";
    ASSERT_TRUE(wait_until([&] { return fs::exists(socket); }, 30.0));
    // A second start hands its words over and exits 0.
    ASSERT_EQ(exit_status(start_touch("record")), 0);
    const std::string path = wait_for_recording(root.path() + "/Documents/My Quillon", 30.0);
    ASSERT_FALSE(path.empty());
    const Stopwatch watch;
    // More than a second in the file before the pause.
    ASSERT_TRUE(wait_until([&] { return recorded_seconds(path) >= 1.3; }, 30.0));
    ASSERT_EQ(exit_status(start_touch("record")), 0);  // pauses
    ASSERT_TRUE(wait_until([&] { return count_of(touch_log(root), "on_other_instance_started:record") == 2; }, 30.0))
        << touch_log(root);
    // The per-second write after the pause has put down what came before it; from then on the
    // file stays as it is.
    const long long paused_size = settled_size(path, 2.5, 30.0);
    ASSERT_GT(paused_size, 0);
    sleep_seconds(1.5);
    EXPECT_EQ(static_cast<long long>(fs::file_size(path)), paused_size);

    ::kill(running, SIGTERM);
    EXPECT_EQ(exit_status(running), 0);
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    ASSERT_TRUE(reader);
    // About 1.5 s were recorded before the pause, out of more than 5.5 s.
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
    ScopedEnv env;
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "1");
    env.unset("QUILLON_APP_DIR");

    const pid_t running = start_touch("record");
    const std::string path = wait_for_recording(root.path() + "/Documents/My Quillon", 30.0);
    ASSERT_FALSE(path.empty());
    const Stopwatch watch;
    // The terminal closes once two seconds are in the file.
    ASSERT_TRUE(wait_until([&] { return recorded_seconds(path) >= 2.0; }, 30.0));
    const double signalled_after = watch.elapsed();
    ::kill(running, SIGHUP);
    EXPECT_EQ(exit_status_within(running, 30.0), 0);
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    ASSERT_TRUE(reader);
    // Finished, not cut off: its end is there (all that was recorded until the signal) and nothing
    // is left for the next start to repair.
    EXPECT_GT(reader->info().duration(), signalled_after - 1.0);
    EXPECT_TRUE(!fs::exists(root.path() + "/unfinished") || fs::is_empty(root.path() + "/unfinished"));
}

TEST(TouchProcess, AStartWithoutLanguageOrSkinFailsAndAFifoNeverBlocksIt) {
    TempRoot root;
    ScopedEnv env;
    env.unset("QUILLON_AUDIO_IN");
    const std::string app = root.path() + "/app";
    fs::create_directories(app + "/skins/bin");
    fs::copy(std::string(QUILLON_BIN_DIR) + "/skins/bin", app + "/skins/bin", fs::copy_options::recursive);
    for (const char* file : {"Voicbeep.wav", "RecEnd.wav"})
        fs::copy(std::string(QUILLON_BIN_DIR) + "/" + file, app + "/" + file);
    env.set("QUILLON_APP_DIR", app);
    env.set("LC_ALL", "en_US.UTF-8");

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
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    ASSERT_TRUE(os::reg_flush(kKorvel));
    const pid_t running = start_touch(nullptr);
    // Past the splash and the main screen (which reads keyboard.txt), into the second loading.
    EXPECT_TRUE(wait_until([&] { return touch_log(root).find("load_secondary_things:") != std::string::npos; }, 60.0))
        << touch_log(root);
    ::kill(running, SIGTERM);
    EXPECT_EQ(exit_status_within(running, 30.0), 0);
}

}  // namespace
