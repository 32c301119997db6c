// quillon-tool as a real process: a voice note end to end, and a recording killed with SIGKILL
// that must stay playable up to shortly before the kill.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "app/core/event.h"
#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"
#include "tests/os/registry_holder.h"

namespace {

struct Child {
    pid_t pid = -1;
    int output = -1;  // the child's stdout
};

Child start_tool(const std::vector<std::string>& args) {
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe_ends[1], 1);
        ::close(pipe_ends[0]);
        ::close(pipe_ends[1]);
        std::vector<char*> argv;
        const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-tool";
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipe_ends[1]);
    return {pid, pipe_ends[0]};
}

// The first line the child prints; blocks until it comes or the child ends.
std::string read_line(const Child& child) {
    std::string line;
    char c = 0;
    while (::read(child.output, &c, 1) == 1 && c != '\n') line += c;
    return line;
}

std::string read_all(const Child& child) {
    std::string text;
    char buffer[4096];
    for (ssize_t n; (n = ::read(child.output, buffer, sizeof buffer)) > 0;) text.append(buffer, static_cast<size_t>(n));
    return text;
}

int wait_for(Child& child) {
    int status = 0;
    ::waitpid(child.pid, &status, 0);
    ::close(child.output);
    return status;
}

double duration_of(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    return reader ? reader->info().duration() : -1.0;
}

bool has_ffprobe() { return ::access("/usr/bin/ffprobe", X_OK) == 0; }

// Seconds of audio ffmpeg decodes from the file; -1 when it fails.
double ffmpeg_seconds(const std::string& path) {
    const std::string command = "ffmpeg -v error -i '" + path + "' -f s16le -ac 1 -ar 8000 - 2>/dev/null | wc -c";
    std::FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return -1;
    long long bytes = -1;
    if (std::fscanf(pipe, "%lld", &bytes) != 1) bytes = -1;
    ::pclose(pipe);
    return bytes <= 0 ? -1.0 : bytes / 16000.0;
}

class ToolProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        const std::string microphone = root.path() + "/microphone.wav";
        document_test::write_tone(microphone, 44100, 30.0);
        ::setenv("QUILLON_AUDIO_IN", microphone.c_str(), 1);
        ::setenv("QUILLON_AUDIO_OUT", (root.path() + "/speaker.wav").c_str(), 1);
        ::setenv("QUILLON_AUDIO_PACE", "1", 1);
        ::unsetenv("QUILLON_APP_DIR");
    }
    TempRoot root;
};

TEST_F(ToolProcessTest, VoiceNoteOfThreeSecondsHeadsTheList) {
    Child record = start_tool({"record", "--seconds", "3"});
    const std::string path = read_line(record);
    EXPECT_EQ(WEXITSTATUS(wait_for(record)), 0);
    EXPECT_EQ(path.rfind(root.path() + "/Documents/My Quillon/Record ", 0), 0u) << path;
    const double seconds = duration_of(path);
    EXPECT_GT(seconds, 2.5);
    EXPECT_LT(seconds, 3.5);
    const RecordTags tags = read_record_tags(os::from_utf8(path));
    EXPECT_EQ(tags.artist, u"Record");
    EXPECT_EQ(tags.album, u"Record");

    Child list = start_tool({"list"});
    const std::string first = read_line(list);
    wait_for(list);
    EXPECT_EQ(first.rfind("{\"path\":\"" + path + "\",\"artist\":\"Record\"", 0), 0u) << first;
}

TEST_F(ToolProcessTest, KilledRecordingStaysPlayable) {
    for (const char* format : {"Mp3Middle", "Mp3Low", "PCM", "ADPCM", "GSM"}) {
        SCOPED_TRACE(format);
        Child record = start_tool({"record", "--format", format});
        const std::string path = read_line(record);
        ASSERT_FALSE(path.empty());
        // The kill lands at a moment of the test's choosing: here the wait is the point.
        sleep_seconds(3.0);
        ::kill(record.pid, SIGKILL);
        wait_for(record);
        // About 2.7 s were captured; at most two seconds may be lost.
        EXPECT_GE(duration_of(path), 1.0);
        if (has_ffprobe()) {
            EXPECT_GE(ffmpeg_seconds(path), 1.0);
        }
    }
}

TEST_F(ToolProcessTest, RenameAppendPlayAndDelete) {
    Child record = start_tool({"record", "--seconds", "1"});
    const std::string path = read_line(record);
    ASSERT_EQ(WEXITSTATUS(wait_for(record)), 0);
    Child rename = start_tool({"rename", path, "Bus/stop"});
    const std::string renamed = read_line(rename);
    ASSERT_EQ(WEXITSTATUS(wait_for(rename)), 0);
    EXPECT_EQ(renamed, root.path() + "/Documents/My Quillon/Record Bus stop.mp3");
    EXPECT_EQ(read_record_tags(os::from_utf8(renamed)).title, u"Bus/stop");

    const double before = duration_of(renamed);
    Child append = start_tool({"append", renamed, "--seconds", "1"});
    ASSERT_EQ(WEXITSTATUS(wait_for(append)), 0);
    EXPECT_GT(duration_of(renamed), before + 0.7);

    ::setenv("QUILLON_AUDIO_PACE", "0", 1);
    Child play = start_tool({"play", renamed});
    EXPECT_EQ(WEXITSTATUS(wait_for(play)), 0);
    // The speaker heard both parts (the size-based MP3 estimate counts the tag as audio too).
    EXPECT_GT(duration_of(root.path() + "/speaker.wav"), before + 0.4);

    Child remove = start_tool({"delete", renamed});
    EXPECT_EQ(WEXITSTATUS(wait_for(remove)), 0);
    EXPECT_NE(::access(renamed.c_str(), F_OK), 0);
    Child list = start_tool({"list"});
    EXPECT_EQ(read_all(list), "");
    wait_for(list);
}

TEST_F(ToolProcessTest, AHeldRegistryNeitherStallsARecordingNorPassesForSuccess) {
    // The registry exists, with a setting in it, before another program takes hold of it.
    ASSERT_TRUE(os::reg_write_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Boost", u"Boost2"));
    ASSERT_TRUE(os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 1));
    const std::string database = os::to_utf8(os::reg_database_path());
    RegistryHolder holder(database);
    ASSERT_TRUE(holder.holding());

    // The recording's own registry writes fail within their bounded wait; capture never waits for
    // them, so the note keeps its length and the tool is done in about its time.
    const Stopwatch watch;
    Child record = start_tool({"record", "--seconds", "3"});
    const std::string path = read_line(record);
    wait_for(record);
    EXPECT_LT(watch.elapsed(), 6.0);
    EXPECT_GT(duration_of(path), 2.7);

    // A change that cannot be saved fails quickly, and says so.
    const Stopwatch change_watch;
    Child change = start_tool({"settings", "Boost", "Boost1"});
    const int status = wait_for(change);
    EXPECT_LT(change_watch.elapsed(), 3.0);
    EXPECT_NE(WEXITSTATUS(status), 0);
    holder.release();
    std::u16string boost;
    ASSERT_TRUE(os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Boost", boost));
    EXPECT_EQ(boost, u"Boost2");
    os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 0);
}

TEST_F(ToolProcessTest, AReadThatCannotBeDoneIsNotShownAsTheDefaults) {
    ASSERT_TRUE(os::reg_write_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Boost", u"Boost3"));
    Child shown = start_tool({"settings"});
    EXPECT_NE(read_all(shown).find("\"Boost\":\"Boost3\""), std::string::npos);
    EXPECT_EQ(WEXITSTATUS(wait_for(shown)), 0);

    // Another program holds the database in the classic journal: readers are locked out too. Our
    // own connection leaves it first, so the journal can be changed.
    const std::string root_path = root.path();
    const std::string database = os::to_utf8(os::reg_database_path());
    TempRoot elsewhere;
    std::u16string unused;
    os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", unused);
    RegistryHolder holder(database, true);
    ASSERT_TRUE(holder.holding());
    ::setenv("QUILLON_ROOT", root_path.c_str(), 1);
    Child locked = start_tool({"settings"});
    const std::string printed = read_all(locked);
    EXPECT_NE(WEXITSTATUS(wait_for(locked)), 0);
    EXPECT_EQ(printed.find("BoostOff"), std::string::npos) << printed;
}

TEST_F(ToolProcessTest, ARecordingKilledAtOnceIsNotListed) {
    Child record = start_tool({"record"});
    const std::string path = read_line(record);
    ASSERT_FALSE(path.empty());
    ::kill(record.pid, SIGKILL);
    wait_for(record);
    // Killed before its first frame could reach the file, it holds its tag alone.
    ASSERT_EQ(::access(path.c_str(), F_OK), 0);
    Child list = start_tool({"list"});
    EXPECT_EQ(read_all(list).find(path), std::string::npos);
    wait_for(list);
}

}  // namespace
