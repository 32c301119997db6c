#include "tests/calls/calls_test_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "audio/mp3/id3_reader.h"
#include "audio/readers/file_reader.h"
#include "audio/stream/input_file.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/document/document_test_support.h"

namespace calls_test {
namespace {

namespace fs = std::filesystem;

// QUILLON_TEST_BIN_DIR runs the programs of another build (an older one, to compare figures).
std::string program_path(const std::string& program) {
    const char* other = std::getenv("QUILLON_TEST_BIN_DIR");
    return std::string(other && *other ? other : QUILLON_BIN_DIR) + "/" + program;
}

std::vector<char*> argv_of(const std::string& path, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(path.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    return argv;
}

}  // namespace

std::vector<uint8_t> photo_bytes() {
    std::vector<uint8_t> bytes = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(i * 37 + 11));
    return bytes;
}

ProgramRun run(const std::string& program, const std::vector<std::string>& args) {
    ProgramRun result;
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return result;
    const std::string path = program_path(program);
    std::vector<char*> argv = argv_of(path, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(pipe_ends[1], 1);
        ::dup2(pipe_ends[1], 2);
        ::close(pipe_ends[0]);
        ::close(pipe_ends[1]);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(pipe_ends[1]);
    // Reads until the program has exited and the pipe is empty, not until every holder of the
    // pipe has closed it: a program the child started could hold it for much longer.
    ::fcntl(pipe_ends[0], F_SETFL, O_NONBLOCK);
    int status = 0;
    bool exited = pid <= 0;
    while (true) {
        pollfd ready{pipe_ends[0], POLLIN, 0};
        ::poll(&ready, 1, 50);
        char buffer[4096];
        ssize_t n = 0;
        while ((n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0)
            result.output.append(buffer, static_cast<size_t>(n));
        if (n == 0) result.output_closed = true;
        if (exited) break;
        exited = ::waitpid(pid, &status, WNOHANG) == pid;
        if (!exited && result.output_closed) exited = ::waitpid(pid, &status, 0) == pid;
    }
    ::close(pipe_ends[0]);
    if (pid > 0 && WIFEXITED(status)) result.status = WEXITSTATUS(status);
    return result;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args) {
    const std::string path = program_path(program);
    std::vector<char*> argv = argv_of(path, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

int wait_exit(pid_t pid, double seconds) {
    int status = 0;
    pid_t reaped = 0;
    if (!await([&] { return (reaped = ::waitpid(pid, &status, WNOHANG)) != 0; }, seconds)) return -2;
    if (reaped != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::vector<std::string> recordings(const std::string& folder, bool recursive) {
    std::vector<std::string> found;
    std::error_code error;
    if (!fs::is_directory(folder, error)) return found;
    auto take = [&](const fs::directory_entry& entry) {
        if (entry.is_regular_file(error) && entry.path().extension() == ".mp3") found.push_back(entry.path().string());
    };
    if (recursive) {
        for (const auto& entry : fs::recursive_directory_iterator(folder, error)) take(entry);
    } else {
        for (const auto& entry : fs::directory_iterator(folder, error)) take(entry);
    }
    std::sort(found.begin(), found.end());
    return found;
}

bool tag_written(const std::string& path) {
    InputFile file(os::from_utf8(path));
    if (!file.is_open()) return false;
    const Id3v2Tag tag = read_id3v2(file);
    return tag.present && file.size() >= tag.size;
}

TagPicture read_tag_picture(const std::string& path) {
    TagPicture picture;
    InputFile file(os::from_utf8(path));
    if (!file.is_open()) return picture;
    const Id3v2Tag tag = read_id3v2(file);
    const Id3Frame* frame = tag.find("APIC");
    if (!frame) return picture;
    // Encoding byte, MIME type, 0, picture type, description, 0, picture.
    const std::vector<uint8_t>& body = frame->body;
    const auto mime_end = std::find(body.begin() + std::min<size_t>(1, body.size()), body.end(), 0);
    if (body.empty() || body[0] != 0 || mime_end == body.end() || mime_end + 1 == body.end()) return picture;
    const auto description_end = std::find(mime_end + 2, body.end(), 0);
    if (description_end == body.end()) return picture;
    picture.present = true;
    picture.mime.assign(body.begin() + 1, mime_end);
    picture.bytes.assign(description_end + 1, body.end());
    return picture;
}

double duration_of(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    return reader ? reader->info().duration() : -1.0;
}

void CallsFixture::SetUp() {
    // Orphans of the phone's launches come to this process, so their exit can be awaited.
    ASSERT_EQ(::prctl(PR_SET_CHILD_SUBREAPER, 1), 0);
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 60.0);
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    // Real time, so the length of a recording follows the length of the call.
    env.set("QUILLON_AUDIO_PACE", "1");
    env.unset("QUILLON_APP_DIR");
    env.unset("QUILLON_TOUCH_PROGRAM");

    contacts = root.path() + "/contacts";
    fs::create_directories(contacts);
    env.set("QUILLON_CONTACTS", contacts);
    write_bytes(contacts + "/other.vcf",
                "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bob Other\r\nTEL:+44 20 7946 1111\r\nEND:VCARD\r\n");
    write_bytes(contacts + "/ann.vcf", "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:" + std::string(caller_name) +
                                           "\r\nTEL;TYPE=CELL:(020) 7946-0958\r\nPHOTO;ENCODING=b;TYPE=PNG:" +
                                           base64(photo_bytes()) + "\r\nEND:VCARD\r\n");

    // Damaged cards beside the good ones: binary junk, broken folding and bad base64.
    std::string junk = "BEGIN:VCARD\r\nFN:Junk\r\nTEL:+44 20 7946 2222\r\n PHOTO;ENCODING=b:***%%%\r\n";
    for (int i = 0; i < 512; ++i) junk += static_cast<char>(i * 131 + 7);
    write_bytes(contacts + "/junk.vcf", junk);

    // The instance's log is how the tests see its GUI thread at work.
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    ASSERT_TRUE(os::reg_flush(kKorvel));
}

void CallsFixture::TearDown() {
    if (touch > 0) {
        ::kill(touch, SIGTERM);
        if (wait_exit(touch, 20.0) == -2) {
            ::kill(touch, SIGKILL);
            wait_exit(touch, 5.0);
        }
        touch = -1;
    }
    // A launched instance the test did not await must not outlive the root it works in.
    for (pid_t pid; (pid = ::waitpid(-1, nullptr, WNOHANG)) > 0;) {
    }
}

std::string CallsFixture::touch_log() const {
    return os::to_utf8(read_log_text(root.path() + "/Temp/quillon-touch.txt"));
}

std::string CallsFixture::phone_log() const {
    return os::to_utf8(read_log_text(root.path() + "/Temp/quillon-phone.txt"));
}

pid_t CallsFixture::start_touch(const std::string& word) {
    touch = spawn("quillon-touch", word.empty() ? std::vector<std::string>{} : std::vector<std::string>{word});
    // Until the first instance listens, another start could become the first one.
    const std::string socket = root.path() + "/GlazerClass_Quillon Touch.socket";
    EXPECT_TRUE(await([&] { return fs::exists(socket); }, 20.0)) << "quillon-touch did not come up";
    sync_touch();
    // The settings that decide about automatic call recording load at the end of start-up.
    EXPECT_TRUE(await([&] { return touch_log().find("load_secondary_things:") != std::string::npos; }, 20.0));
    return touch;
}

void CallsFixture::sync_touch() {
    const std::string word = "sync-" + std::to_string(++syncs);
    const ProgramRun handed = run("quillon-touch", {word});
    EXPECT_EQ(handed.status, 0) << handed.output;
    const std::string line = "on_other_instance_started:" + word + "\n";
    EXPECT_TRUE(await([&] { return touch_log().find(line) != std::string::npos; }, 20.0)) << touch_log();
}

int CallsFixture::stop_touch() {
    if (touch <= 0) return -1;
    ::kill(touch, SIGTERM);
    const int status = wait_exit(touch, 30.0);
    touch = -1;
    return status;
}

ProgramRun CallsFixture::settings(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"settings"};
    all.insert(all.end(), args.begin(), args.end());
    return run("quillon-tool", all);
}

}  // namespace calls_test
