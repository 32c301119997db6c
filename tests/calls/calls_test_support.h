#pragma once
// Calls end to end with real processes: quillon-touch (headless, file microphone and speaker),
// quillon-phone publishing the phone state and quillon-tool changing settings, all in one fresh
// QUILLON_ROOT per test with a contacts folder that knows the caller.
//
// The test process becomes a child subreaper, so a quillon-touch that quillon-phone starts for a
// call (and leaves behind when it exits) is reparented here and can be awaited with its status.
#include <gtest/gtest.h>
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "os/event.h"
#include "os/stopwatch.h"
#include "tests/os/temp_root.h"
#include "tests/support/base64.h"

namespace calls_test {

inline constexpr const char* caller_number = "+44 20 7946 0958";
inline constexpr const char* caller_name = "Ann Smith";

// The contact's photo: a PNG signature and a few bytes, enough for the picture to count (more than
// 7 bytes) and for its type to be guessed.
std::vector<uint8_t> photo_bytes();
using test_support::base64;

struct ProgramRun {
    int status = -1;  // exit status; -1 when the program did not exit normally
    std::string output;
    // Every holder of the program's output had closed it by the time the program exited.
    bool output_closed = false;
};

// Runs QUILLON_BIN_DIR/program with args and waits for it to exit; stdout and stderr together in
// output.
ProgramRun run(const std::string& program, const std::vector<std::string>& args);
// Starts QUILLON_BIN_DIR/program with args and does not wait; -1 on failure.
pid_t spawn(const std::string& program, const std::vector<std::string>& args);
// The exit status of a child (or an orphan reparented here) once it ends; -1 when it did not exit
// normally, -2 when it still runs after the time limit.
int wait_exit(pid_t pid, double seconds);

// Polls the condition every 20 ms; false after the time limit.
template <typename Condition>
bool await(Condition condition, double seconds) {
    const Stopwatch watch;
    while (!condition()) {
        if (watch.elapsed() >= seconds) return condition();
        sleep_seconds(0.02);
    }
    return true;
}

// The ".mp3" files directly in the folder, sorted; every one under it when recursive.
std::vector<std::string> recordings(const std::string& folder, bool recursive = false);

struct TagPicture {
    bool present = false;
    std::string mime;
    std::vector<uint8_t> bytes;
};
// The file begins with a whole ID3v2 tag: the document writes it right after creating the file, so a
// file that has just appeared may not have it yet.
bool tag_written(const std::string& path);
// The APIC frame of the file's ID3v2 tag, split into its MIME type and picture bytes.
TagPicture read_tag_picture(const std::string& path);
// Seconds of audio the reader factory finds in the file; -1 when no reader opens it.
double duration_of(const std::string& path);

class CallsFixture : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string documents() const { return root.path() + "/Documents/My Quillon"; }
    // The running instance's log (switched on for every test), as UTF-8.
    std::string touch_log() const;
    // The log of quillon-phone (the bridge), as UTF-8.
    std::string phone_log() const;

    // Starts quillon-touch with the command word (none when empty) and, for a first instance,
    // waits until its loop runs.
    pid_t start_touch(const std::string& word = {});
    // Hands a word to the running instance and waits until its GUI thread has handled it: whatever
    // the instance was doing on that thread before is finished then.
    void sync_touch();
    // Ends the running instance with SIGTERM and returns its exit status.
    int stop_touch();

    ProgramRun phone(const std::vector<std::string>& args) { return run("quillon-phone", args); }
    ProgramRun settings(const std::vector<std::string>& args);

    TempRoot root;
    ScopedEnv env;
    std::string contacts;
    pid_t touch = -1;
    int syncs = 0;
};

}  // namespace calls_test
