// Launch on call: with automatic recording on and no instance running, the phone's notification
// service starts "quillon-touch call" when a call is answered; that instance records the call and
// quits by itself when the call ends, since its window was never active.
#include <signal.h>

#include <filesystem>
#include <string>

#include "audio/mp3/id3_reader.h"
#include "os/text.h"
#include "tests/calls/calls_test_support.h"

namespace {

using namespace calls_test;
namespace fs = std::filesystem;

class CallLaunchProcess : public CallsFixture {};

// "...: started "PROGRAM" call (pid N)" in quillon-phone's report; -1 when it started nothing.
pid_t started_pid(const std::string& report) {
    const size_t at = report.find("(pid ");
    if (at == std::string::npos) return -1;
    return static_cast<pid_t>(std::stol(report.substr(at + 5)));
}

TEST_F(CallLaunchProcess, AnsweredCallStartsTouchWhichRecordsAndQuitsAtHangup) {
    ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
    // The registration names the build's quillon-touch, beside quillon-tool.
    const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-touch";
    EXPECT_NE(phone({"status"}).output.find("\"call_launch\":\"\\\"" + program + "\\\" call\""), std::string::npos)
        << phone({"status"}).output;

    // Ringing does not meet the registration's condition: nothing is started yet.
    const ProgramRun ringing = phone({"incoming", caller_number});
    ASSERT_EQ(ringing.status, 0) << ringing.output;
    EXPECT_EQ(started_pid(ringing.output), -1) << ringing.output;

    const ProgramRun answered = phone({"answer"});
    ASSERT_EQ(answered.status, 0) << answered.output;
    const pid_t launched = started_pid(answered.output);
    ASSERT_GT(launched, 0) << answered.output;
    // The launched instance does not keep the publisher's output open: whoever reads quillon-phone's
    // report to its end must not wait for the whole call.
    EXPECT_TRUE(answered.output_closed);
    EXPECT_NE(answered.output.find("Quillon Touch.Call: started \"" + program + "\" call"), std::string::npos)
        << answered.output;

    std::vector<std::string> found;
    const bool recorded = await([&] { return !(found = recordings(documents() + "/Incoming")).empty(); }, 20.0);
    if (!recorded) ::kill(launched, SIGKILL);
    ASSERT_TRUE(recorded) << touch_log();
    ASSERT_EQ(found.size(), 1u);
    const std::string path = found.front();
    EXPECT_TRUE(await([&] { return tag_written(path); }, 10.0));
    EXPECT_EQ(fs::path(path).filename().string().rfind(std::string(caller_name) + " ", 0), 0u) << path;

    // Audio flows while the call lasts; then the call ends and the instance ends with it.
    const auto tag_end = fs::file_size(path);
    EXPECT_TRUE(await([&] { return fs::file_size(path) > tag_end && duration_of(path) > 0.8; }, 10.0));
    ASSERT_EQ(phone({"hangup"}).status, 0);
    const int status = wait_exit(launched, 30.0);
    if (status == -2) ::kill(launched, SIGKILL);
    EXPECT_EQ(status, 0) << touch_log();
    EXPECT_NE(touch_log().find("on_call_stop\n"), std::string::npos);

    EXPECT_GT(duration_of(path), 0.0);
    const RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.artist, os::from_utf8(caller_name));
    EXPECT_EQ(tags.album, u"Incoming");
    EXPECT_EQ(read_tag_picture(path).bytes, photo_bytes());
    EXPECT_EQ(recordings(documents(), true).size(), 1u);
}

TEST_F(CallLaunchProcess, NothingStartsWithAutoRecordOff) {
    ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
    ASSERT_EQ(settings({"AutoRecord", "0"}).status, 0);
    ASSERT_EQ(phone({"incoming", caller_number}).status, 0);
    const ProgramRun answered = phone({"answer"});
    ASSERT_EQ(answered.status, 0) << answered.output;
    EXPECT_EQ(started_pid(answered.output), -1) << answered.output;
    ASSERT_EQ(phone({"hangup"}).status, 0);
    EXPECT_TRUE(recordings(documents(), true).empty());
}

TEST_F(CallLaunchProcess, StartedForACallThatIsAlreadyOverQuitsWithoutAFile) {
    // The call ended before the program started: nothing to record, and nothing will ever end.
    touch = spawn("quillon-touch", {"call"});
    const int status = wait_exit(touch, 20.0);
    if (status != -2) touch = -1;
    EXPECT_EQ(status, 0) << touch_log();
    EXPECT_TRUE(recordings(documents(), true).empty());
}

TEST_F(CallLaunchProcess, CallEndingBeforeTheMonitorSawItStillEndsTheRecording) {
    ASSERT_EQ(phone({"incoming", caller_number}).status, 0);
    ASSERT_EQ(phone({"answer"}).status, 0);
    touch = spawn("quillon-touch", {"call"});
    // The recording starts during start-up, before the call monitor's first poll; a call that ends
    // at once may never be seen by the monitor.
    std::vector<std::string> found;
    ASSERT_TRUE(await([&] { return !(found = recordings(documents(), true)).empty(); }, 20.0)) << touch_log();
    ASSERT_EQ(phone({"hangup"}).status, 0);
    const int status = wait_exit(touch, 20.0);
    if (status != -2) touch = -1;
    EXPECT_EQ(status, 0) << touch_log();
    // A loaded machine may let the monitor see the call for a moment after all: then its piece is
    // a flap's and is not kept, and the log says why. Otherwise the file stays, too short for audio
    // to reach it, but with its whole tag.
    if (!std::filesystem::exists(found.front())) {
        EXPECT_NE(touch_log().find("is no conversation; its recording is not kept"), std::string::npos) << touch_log();
        return;
    }
    EXPECT_TRUE(tag_written(found.front()));
    EXPECT_EQ(read_record_tags(os::from_utf8(found.front())).artist, os::from_utf8(caller_name));
}

}  // namespace
