// Automatic call recording with a running quillon-touch: the phone state comes from quillon-phone
// in another process, and what the tests check is what lands in the recordings folder.
#include <cstdio>
#include <filesystem>
#include <string>
#include <tuple>
#include <utility>

#include "audio/mp3/id3_reader.h"
#include "os/text.h"
#include "tests/calls/calls_test_support.h"

namespace {

using namespace calls_test;
namespace fs = std::filesystem;

class CallRecording : public CallsFixture {
protected:
    void SetUp() override {
        CallsFixture::SetUp();
        const ProgramRun enabled = settings({"AutoRecord", "1"});
        ASSERT_EQ(enabled.status, 0) << enabled.output;
    }

    // Answers the ringing or dialled call and waits for the one recording in folder whose name
    // begins with name; empty when none came. seconds_to_file tells how long after the answer the file appeared.
    std::string answer_and_await_recording(const std::string& folder, double* seconds_to_file = nullptr,
                                           const std::string& name = {}) {
        const Stopwatch watch;
        const ProgramRun answered = phone({"answer"});
        EXPECT_EQ(answered.status, 0) << answered.output;
        // The instance runs, so the launch registration must not start a second one.
        EXPECT_EQ(answered.output.find("(pid "), std::string::npos) << answered.output;
        std::vector<std::string> found;
        await(
            [&] {
                found.clear();
                for (const std::string& path : recordings(folder)) {
                    if (fs::path(path).filename().string().rfind(name, 0) == 0) found.push_back(path);
                }
                return !found.empty();
            },
            10.0);
        if (seconds_to_file) *seconds_to_file = watch.elapsed();
        EXPECT_EQ(found.size(), 1u);
        if (found.empty()) return {};
        EXPECT_TRUE(await([&] { return tag_written(found.front()); }, 10.0)) << found.front();
        return found.front();
    }

    // Lets audio reach the file (past its tag) so the call recording is seen running, then hangs up
    // and waits until the instance has handled the end of the call.
    void talk_and_hang_up(const std::string& path) {
        const auto tag_end = fs::file_size(path);
        // Audio reaches the file on every 0.2 s tick: wait for a call long enough to tell from a stub.
        EXPECT_TRUE(await([&] { return fs::file_size(path) > tag_end && duration_of(path) > 0.8; }, 10.0))
            << "no audio reached " << path;
        ASSERT_EQ(phone({"hangup"}).status, 0);
        EXPECT_TRUE(await([&] { return touch_log().find("on_call_stop\n") != std::string::npos; }, 10.0));
        sync_touch();
    }
};

TEST_F(CallRecording, AnsweredIncomingCallIsFiledNamedAndPicturedUntilHangup) {
    start_touch();
    const ProgramRun ringing = phone({"incoming", caller_number});
    ASSERT_EQ(ringing.status, 0) << ringing.output;
    double seconds_to_file = 0;
    const std::string path = answer_and_await_recording(documents() + "/Incoming", &seconds_to_file);
    ASSERT_FALSE(path.empty());
    // The monitor polls every 0.1 s and the file is created before the start beep: about 0.3 s
    // at most on an idle machine; the bound leaves room for a loaded one.
    EXPECT_LT(seconds_to_file, 2.0);
    std::printf("[ figure ] answered call to recording file: %.3f s\n", seconds_to_file);
    EXPECT_EQ(fs::path(path).filename().string().rfind(std::string(caller_name) + " ", 0), 0u) << path;

    const RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.artist, os::from_utf8(caller_name));
    EXPECT_EQ(tags.album, u"Incoming");
    const TagPicture picture = read_tag_picture(path);
    ASSERT_TRUE(picture.present);
    EXPECT_EQ(picture.mime, "image/png");
    EXPECT_EQ(picture.bytes, photo_bytes());

    talk_and_hang_up(path);
    // Stopped at the hangup, not at exit: the file is complete while the instance still runs and
    // stays as it is until the instance ends.
    const auto size_at_hangup = fs::file_size(path);
    const double seconds = duration_of(path);
    EXPECT_GT(seconds, 0.5);
    EXPECT_LT(seconds, 30.0);
    EXPECT_EQ(recordings(documents(), true).size(), 1u);
    EXPECT_EQ(stop_touch(), 0);
    EXPECT_EQ(fs::file_size(path), size_at_hangup);
}

TEST_F(CallRecording, RingingWithoutAnswerRecordsNothing) {
    start_touch();
    ASSERT_EQ(phone({"incoming", caller_number}).status, 0);
    // Nothing can be awaited for a recording that must not start: ten polls of the monitor pass.
    sleep_seconds(1.0);
    sync_touch();
    EXPECT_TRUE(recordings(documents(), true).empty());
    ASSERT_EQ(phone({"hangup"}).status, 0);
    sync_touch();
    EXPECT_TRUE(recordings(documents(), true).empty());
    EXPECT_EQ(touch_log().find("on_call_start"), std::string::npos);
    EXPECT_EQ(stop_touch(), 0);
}

TEST_F(CallRecording, CallWithoutLineInformationGoesToTheMainFolder) {
    start_touch();
    ASSERT_EQ(phone({"incoming", caller_number, "--no-line-info"}).status, 0);
    const std::string path = answer_and_await_recording(documents());
    ASSERT_FALSE(path.empty());
    EXPECT_FALSE(fs::exists(documents() + "/Incoming"));
    EXPECT_FALSE(fs::exists(documents() + "/Outgoing"));
    // The phone's own "Caller Name" still names the caller when the line cannot.
    EXPECT_EQ(fs::path(path).filename().string().rfind(std::string(caller_name) + " ", 0), 0u) << path;
    const RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.album, u"Record");
    EXPECT_EQ(tags.artist, os::from_utf8(caller_name));
    EXPECT_NE(touch_log().find("on_call_start " + std::string(caller_name) + " " + caller_number + " 3"),
              std::string::npos);
    talk_and_hang_up(path);
    EXPECT_GT(duration_of(path), 0.0);
    EXPECT_EQ(stop_touch(), 0);
}

TEST_F(CallRecording, AnsweredOutgoingCallWithSpeakerOnGoesToOutgoing) {
    ASSERT_EQ(settings({"Speaker", "1"}).status, 0);
    start_touch();
    ASSERT_EQ(phone({"dial", caller_number}).status, 0);
    const std::string path = answer_and_await_recording(documents() + "/Outgoing");
    ASSERT_FALSE(path.empty());
    EXPECT_EQ(fs::path(path).filename().string().rfind(std::string(caller_name) + " ", 0), 0u) << path;
    const RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.album, u"Outgoing");
    EXPECT_EQ(tags.artist, os::from_utf8(caller_name));
    EXPECT_EQ(read_tag_picture(path).bytes, photo_bytes());
    // The speakerphone is switched on for the call recording and off when it stops.
    EXPECT_TRUE(await([&] { return phone({"status"}).output.find("\"speaker\":true") != std::string::npos; }, 10.0));
    talk_and_hang_up(path);
    EXPECT_NE(phone({"status"}).output.find("\"speaker\":false"), std::string::npos);
    EXPECT_GT(duration_of(path), 0.0);
    EXPECT_EQ(stop_touch(), 0);
}

TEST_F(CallRecording, LargestPictureIsTaggedWholeAndALargerOneIsLeftOut) {
    // Two callers whose photos sit on both sides of the 200,000-byte bound, one call each.
    for (const auto& [file, size] : {std::pair<std::string, size_t>{"large", 200000}, {"larger", 200001}}) {
        std::vector<uint8_t> picture = photo_bytes();
        picture.resize(size, 0x5A);
        write_bytes(contacts + "/" + file + ".vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Caller " + file +
                                                        "\r\nTEL:+1 555 010 " + std::to_string(size % 10 + 10) +
                                                        "\r\nPHOTO;ENCODING=b;TYPE=PNG:" + base64(picture) +
                                                        "\r\nEND:VCARD\r\n");
    }
    start_touch();
    for (const auto& [name, number, size] :
         {std::tuple<std::string, std::string, size_t>{"Caller large", "+1 555 010 10", 200000},
          {"Caller larger", "+1 555 010 11", 0}}) {
        SCOPED_TRACE(name);
        ASSERT_EQ(phone({"incoming", number}).status, 0);
        const std::string path = answer_and_await_recording(documents() + "/Incoming", nullptr, name + " ");
        ASSERT_FALSE(path.empty());
        EXPECT_EQ(read_record_tags(os::from_utf8(path)).artist, os::from_utf8(name));
        const TagPicture picture = read_tag_picture(path);
        EXPECT_EQ(picture.present, size != 0);
        EXPECT_EQ(picture.bytes.size(), size);
        talk_and_hang_up(path);
        EXPECT_GT(duration_of(path), 0.0);
    }
    EXPECT_EQ(stop_touch(), 0);
}

}  // namespace
