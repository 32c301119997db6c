// quillon-tool as a real process: a voice note end to end, and a recording killed with SIGKILL
// that must stay playable up to shortly before the kill.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "os/event.h"
#include "os/registry.h"
#include "os/stopwatch.h"
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
        env.set("QUILLON_AUDIO_IN", microphone);
        env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
        env.set("QUILLON_AUDIO_PACE", "1");
        env.unset("QUILLON_APP_DIR");
    }
    TempRoot root;
    ScopedEnv env;
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

    env.set("QUILLON_AUDIO_PACE", "0");
    Child play = start_tool({"play", renamed});
    EXPECT_EQ(WEXITSTATUS(wait_for(play)), 0);
    // The speaker heard both parts.
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
    env.set("QUILLON_ROOT", root_path);
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
    // The next start took it away: nothing anyone could play stays behind.
    EXPECT_NE(::access(path.c_str(), F_OK), 0);
}

// The title `list` shows for a path after its rescan; "?" when the path is not listed.
std::string listed_title(const std::string& path) {
    Child list = start_tool({"list"});
    const std::string lines = read_all(list);
    wait_for(list);
    const std::string key = "{\"path\":\"" + path + "\"";
    const size_t at = lines.find(key);
    if (at == std::string::npos) return "?";
    const size_t title = lines.find("\"title\":\"", at) + 9;
    return lines.substr(title, lines.find('"', title) - title);
}

bool run_quietly(const std::string& command) { return std::system(("(" + command + ") >/dev/null 2>&1").c_str()) == 0; }

std::string current_path_setting() {
    std::u16string path;
    os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Path", path);
    return os::to_utf8(path);
}

// Tag texts as mutagen reads them, "frame=text" a line, and the picture's size.
std::string mutagen_view(const std::string& path) {
    const std::string command =
        "/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3; t = ID3(sys.argv[1]); "
        "print(t.version); [print(k[:4] + '=' + (str(len(v.data)) if k.startswith('APIC') "
        "else str(v))) for k, v in sorted(t.items())]\" '" +
        path + "' 2>&1";
    std::string text;
    if (std::FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe)) text += buffer;
        ::pclose(pipe);
    }
    return text;
}

TEST_F(ToolProcessTest, RenamedTitlesStickInEveryKindOfTag) {
    if (!run_quietly("command -v lame && command -v id3v2 && /usr/bin/python3 -c 'import mutagen'")) {
        GTEST_SKIP() << "lame, id3v2 or python3-mutagen missing";
    }
    const std::string folder = root.path() + "/Documents/My Quillon";
    ASSERT_TRUE(run_quietly("mkdir -p '" + folder + "'"));
    const std::string wav = root.path() + "/tone.wav";
    document_test::write_tone(wav, 44100, 1.0);
    const std::string plain = root.path() + "/plain.mp3";
    ASSERT_TRUE(run_quietly("lame --quiet -b 64 '" + wav + "' '" + plain + "'"));
    auto copy = [&](const std::string& name) {
        const std::string path = folder + "/" + name;
        EXPECT_TRUE(run_quietly("cp '" + plain + "' '" + path + "'"));
        return path;
    };
    const std::string mutagen = "/usr/bin/python3 -c \"import sys; from mutagen.id3 import ID3, TIT2, TPE1, APIC; ";
    // ID3v2.4 without an artist (mutagen's default version), with room to spare.
    const std::string v24 = copy("Morning.mp3");
    ASSERT_TRUE(run_quietly(mutagen + "t = ID3(); t.add(TIT2(encoding=3, text='Morning')); t.save(sys.argv[1])\" '" +
                            v24 + "'"));
    // ID3v1 only.
    const std::string v1 = copy("Bob a b.mp3");
    ASSERT_TRUE(run_quietly("id3v2 -1 -a Bob -t 'a:b' '" + v1 + "'"));
    // ID3v2.3 with a picture and no padding at all: any longer title must grow the tag.
    const std::string tight = copy("Cy Old.mp3");
    ASSERT_TRUE(run_quietly(mutagen +
                            "t = ID3(); t.add(TPE1(encoding=0, text='Cy')); t.add(TIT2(encoding=0, text='Old')); "
                            "t.add(APIC(encoding=0, mime='image/png', type=3, desc='', data=bytes(range(256)) * 40)); "
                            "t.save(sys.argv[1], v2_version=3, padding=lambda info: 0)\" '" +
                            tight + "'"));
    const double seconds = ffmpeg_seconds(tight);

    Child rename = start_tool({"rename", v24, "Evening \xc3\xa9t\xc3\xa9"});
    const std::string v24_renamed = read_line(rename);
    ASSERT_EQ(WEXITSTATUS(wait_for(rename)), 0);
    EXPECT_EQ(v24_renamed, folder + "/Evening \xc3\xa9t\xc3\xa9.mp3");  // no leading space without an artist
    EXPECT_EQ(listed_title(v24_renamed), "Evening \xc3\xa9t\xc3\xa9");
    EXPECT_NE(mutagen_view(v24_renamed).find("(2, 4, 0)\nTIT2=Evening \xc3\xa9t\xc3\xa9\n"), std::string::npos)
        << mutagen_view(v24_renamed);

    // The name the file has already is its own, not taken: no "~1".
    rename = start_tool({"rename", v1, "a b"});
    EXPECT_EQ(read_line(rename), v1);
    ASSERT_EQ(WEXITSTATUS(wait_for(rename)), 0);
    EXPECT_EQ(listed_title(v1), "a b");

    const std::string long_title(400, 'L');
    rename = start_tool({"rename", tight, long_title});
    const std::string tight_renamed = read_line(rename);
    ASSERT_EQ(WEXITSTATUS(wait_for(rename)), 0);
    EXPECT_EQ(tight_renamed.find("~"), std::string::npos) << tight_renamed;
    EXPECT_EQ(listed_title(tight_renamed), long_title);
    const std::string view = mutagen_view(tight_renamed);
    EXPECT_NE(view.find("(2, 3, 0)\nAPIC=10240\nTIT2=" + long_title + "\nTPE1=Cy\n"), std::string::npos) << view;
    EXPECT_NEAR(ffmpeg_seconds(tight_renamed), seconds, 1e-6);
    // Nothing is left beside it.
    Child list = start_tool({"list"});
    const std::string lines = read_all(list);
    wait_for(list);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), '\n'), 3);
    EXPECT_TRUE(run_quietly("test $(ls -A '" + folder + "' | wc -l) -eq 3"));
}

TEST_F(ToolProcessTest, RenameAndDeleteSayWhenTheyCannot) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    Child record = start_tool({"record", "--seconds", "0.5"});
    const std::string path = read_line(record);
    ASSERT_EQ(WEXITSTATUS(wait_for(record)), 0);
    const std::string before = current_path_setting();
    ASSERT_EQ(before, path);

    // Not a listed recording.
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"rename", root.path() + "/elsewhere.mp3", "T"},
          std::vector<std::string>{"delete", root.path() + "/elsewhere.mp3"}}) {
        Child child = start_tool(args);
        EXPECT_NE(WEXITSTATUS(wait_for(child)), 0) << args[0];
    }

    // An ID3v2.2 tag (another program's) is retitled through the tag library, which writes it anew
    // as ID3v2.4: the rename goes through.
    std::string bytes = std::string("ID3\x02\x00\x00\x00\x00\x00\x0a", 10) + std::string("TT2\x00\x00\x04\x00Old", 10);
    std::FILE* source = std::fopen(path.c_str(), "rb");
    ASSERT_NE(source, nullptr);
    unsigned char header[10] = {};
    ASSERT_EQ(std::fread(header, 1, 10, source), 10u);
    std::fseek(source, 10 + (header[6] << 21 | header[7] << 14 | header[8] << 7 | header[9]), SEEK_SET);
    std::string audio;
    for (int c; (c = std::fgetc(source)) != EOF;) audio += static_cast<char>(c);
    std::fclose(source);
    const std::string old22 = folder + "/Old22.mp3";
    std::FILE* out = std::fopen(old22.c_str(), "wb");
    std::fwrite(bytes.data(), 1, bytes.size(), out);
    std::fwrite(audio.data(), 1, audio.size(), out);
    std::fclose(out);
    Child rename = start_tool({"rename", old22, "New"});
    EXPECT_EQ(WEXITSTATUS(wait_for(rename)), 0);
    EXPECT_NE(::access(old22.c_str(), F_OK), 0);
    const std::string renamed22 = folder + "/New.mp3";
    EXPECT_EQ(read_record_tags(os::from_utf8(renamed22)).title, u"New");
    EXPECT_EQ(current_path_setting(), renamed22);

    if (::geteuid() == 0) return;  // a read-only folder does not stop root
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    rename = start_tool({"rename", path, "New"});
    EXPECT_NE(WEXITSTATUS(wait_for(rename)), 0);
    Child remove = start_tool({"delete", path});
    EXPECT_NE(WEXITSTATUS(wait_for(remove)), 0);
    ::chmod(folder.c_str(), 0755);
    EXPECT_EQ(::access(path.c_str(), F_OK), 0);
    EXPECT_EQ(current_path_setting(), before);
}

TEST_F(ToolProcessTest, ListsRunAtOnceAgreeWithAndWithoutTheRecordCache) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    for (int f = 0; f < 4; ++f) {
        const std::string sub = folder + "/F" + std::to_string(f);
        std::filesystem::create_directories(sub);
        for (int i = 0; i < 50; ++i) {
            document_test::write_tone(sub + "/r" + std::to_string(i) + ".wav", 8000, 0.05, 300.0 + i);
        }
    }
    // Three at once on no cache: all read the files and write their rows into one database.
    std::vector<Child> lists;
    for (int i = 0; i < 3; ++i) lists.push_back(start_tool({"list"}));
    std::vector<std::string> outputs;
    for (Child& list : lists) {
        outputs.push_back(read_all(list));
        EXPECT_EQ(WEXITSTATUS(wait_for(list)), 0);
    }
    EXPECT_EQ(std::count(outputs[0].begin(), outputs[0].end(), '\n'), 200);
    EXPECT_EQ(outputs[1], outputs[0]);
    EXPECT_EQ(outputs[2], outputs[0]);
    Child warm = start_tool({"list"});
    EXPECT_EQ(read_all(warm), outputs[0]);
    wait_for(warm);
    for (const char* suffix : {"", "-wal", "-shm"}) std::filesystem::remove(root.path() + "/records.db" + suffix);
    Child cold = start_tool({"list"});
    EXPECT_EQ(read_all(cold), outputs[0]);
    wait_for(cold);
}

// ---- what a kill leaves, put right at the next start --------------------------------------------

std::string file_bytes(const std::string& path) {
    std::string bytes;
    if (std::FILE* file = std::fopen(path.c_str(), "rb")) {
        char buffer[65536];
        for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) bytes.append(buffer, n);
        std::fclose(file);
    }
    return bytes;
}

void put_bytes(const std::string& path, const std::string& bytes) {
    if (std::FILE* file = std::fopen(path.c_str(), "wb")) {
        std::fwrite(bytes.data(), 1, bytes.size(), file);
        std::fclose(file);
    }
}

void put_u32(std::string& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

size_t notes_left(const std::string& root) {
    std::error_code code;
    const std::filesystem::path folder(root + "/unfinished");
    if (!std::filesystem::exists(folder, code)) return 0;
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder, code), {}));
}

TEST_F(ToolProcessTest, KilledRecordingsTellTheirWholeLengthAfterTheNextStart) {
    for (const char* format : {"Mp3Low", "Mp3Middle", "PCM", "GSM"}) {
        SCOPED_TRACE(format);
        Child record = start_tool({"record", "--format", format});
        const std::string path = read_line(record);
        ASSERT_FALSE(path.empty());
        sleep_seconds(2.5);  // the moment of the kill
        ::kill(record.pid, SIGKILL);
        wait_for(record);
        const uintmax_t killed_size = std::filesystem::file_size(path);
        EXPECT_EQ(notes_left(root.path()), 1u);

        Child list = start_tool({"list"});
        EXPECT_NE(read_all(list).find(path), std::string::npos);
        EXPECT_EQ(WEXITSTATUS(wait_for(list)), 0);
        EXPECT_EQ(notes_left(root.path()), 0u) << "repaired once";
        // At most a frame or a block cut by the kill goes.
        EXPECT_GE(std::filesystem::file_size(path) + 2048, killed_size);
        const double ours = duration_of(path);
        EXPECT_GE(ours, 1.8);
        if (has_ffprobe()) {
            EXPECT_NEAR(ffmpeg_seconds(path), ours, 0.1);
        }
    }
}

TEST_F(ToolProcessTest, AKilledAppendGivesTheId3v1TagBack) {
    Child record = start_tool({"record", "--seconds", "1"});
    const std::string path = read_line(record);
    ASSERT_EQ(WEXITSTATUS(wait_for(record)), 0);
    std::string v1 = "TAG" + std::string("Kept through a kill") + std::string(11, '\0');
    v1.resize(128, '\0');
    put_bytes(path, file_bytes(path) + v1);

    Child append = start_tool({"append", path});
    sleep_seconds(2.0);  // the moment of the kill
    ::kill(append.pid, SIGKILL);
    wait_for(append);
    const std::string killed = file_bytes(path);
    ASSERT_GT(killed.size(), 128u);

    Child list = start_tool({"list"});
    read_all(list);
    wait_for(list);
    const std::string healed = file_bytes(path);
    ASSERT_GT(healed.size(), 128u);
    EXPECT_EQ(healed.substr(healed.size() - 128), v1);
    EXPECT_GT(healed.size(), killed.size() - 128) << "the appended audio stays";
    EXPECT_GE(duration_of(path), 2.0);
    if (has_ffprobe()) {
        EXPECT_NEAR(ffmpeg_seconds(path), duration_of(path), 0.1);
    }
}

TEST_F(ToolProcessTest, AnUnderCountedWavKeepsItsAudioThroughAnAppend) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/under.wav";
    document_test::write_tone(path, 16000, 3.0);
    // As our writer leaves it when killed before its first header update: sizes of nothing.
    std::string bytes = file_bytes(path);
    put_u32(bytes, 4, 36);
    put_u32(bytes, 40, 0);
    put_bytes(path, bytes);
    EXPECT_NEAR(duration_of(path), 3.0, 0.01) << "the audio runs to the end of the file";
    Child list = start_tool({"list"});
    EXPECT_NE(read_all(list).find(path), std::string::npos);
    wait_for(list);

    Child append = start_tool({"append", path, "--seconds", "1"});
    EXPECT_EQ(WEXITSTATUS(wait_for(append)), 0);
    EXPECT_GE(duration_of(path), 3.8);
    EXPECT_LE(duration_of(path), 4.3);
    if (has_ffprobe()) {
        EXPECT_NEAR(ffmpeg_seconds(path), duration_of(path), 0.05);
    }
}

TEST_F(ToolProcessTest, ChunksAfterTheDataSurviveAnAppendAndAKilledOne) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    std::filesystem::create_directories(folder);
    const std::string path = folder + "/titled.wav";
    document_test::write_tone(path, 16000, 2.0);
    const std::string info = std::string("INFOINAM") + std::string("\x0c\0\0\0", 4) + "Kept title\0\0";
    std::string list_chunk = "LIST" + std::string(4, '\0') + info;
    put_u32(list_chunk, 4, static_cast<uint32_t>(info.size()));
    std::string bytes = file_bytes(path) + list_chunk;
    put_u32(bytes, 4, static_cast<uint32_t>(bytes.size() - 8));
    put_bytes(path, bytes);
    EXPECT_NEAR(duration_of(path), 2.0, 0.01);

    Child append = start_tool({"append", path, "--seconds", "1"});
    EXPECT_EQ(WEXITSTATUS(wait_for(append)), 0);
    std::string after = file_bytes(path);
    EXPECT_EQ(after.substr(after.size() - list_chunk.size()), list_chunk);
    EXPECT_EQ(
        static_cast<uint8_t>(after[4]) | (static_cast<uint8_t>(after[5]) << 8) | (static_cast<uint8_t>(after[6]) << 16),
        after.size() - 8);
    EXPECT_GE(duration_of(path), 2.8);

    Child killed = start_tool({"append", path});
    sleep_seconds(1.5);  // the moment of the kill
    ::kill(killed.pid, SIGKILL);
    wait_for(killed);
    Child list = start_tool({"list"});
    read_all(list);
    wait_for(list);
    after = file_bytes(path);
    EXPECT_EQ(after.substr(after.size() - list_chunk.size()), list_chunk);
    EXPECT_GE(duration_of(path), 3.5);
    if (has_ffprobe()) {
        EXPECT_NEAR(ffmpeg_seconds(path), duration_of(path), 0.05);
    }
}

TEST_F(ToolProcessTest, ARecordingWhoseFileIsDeletedFailsAndSighupFinishesOne) {
    Child record = start_tool({"record"});
    const std::string path = read_line(record);
    ASSERT_FALSE(path.empty());
    sleep_seconds(1.0);  // the moment another program deletes the file
    ASSERT_EQ(::unlink(path.c_str()), 0);
    EXPECT_EQ(WEXITSTATUS(wait_for(record)), 1) << "a recording into a deleted file is no success";

    Child hung_up = start_tool({"record"});
    const std::string kept = read_line(hung_up);
    sleep_seconds(2.0);  // the moment the terminal closes
    ::kill(hung_up.pid, SIGHUP);
    const int status = wait_for(hung_up);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_GE(duration_of(kept), 1.5);
    EXPECT_EQ(notes_left(root.path()), 0u);
}

}  // namespace
