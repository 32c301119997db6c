// The real quillon-touch in a real X server: Xvfb, started here on a free display number and
// stopped by its pid. The window must show what the program composed (the main screen of the
// shipped skin), take keys and typed text, follow a resize, refuse the close button while a recording runs
// and quit from it when nothing records.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <png.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "os/registry.h"
#include "os/text.h"
#include "tests/app/process_helpers.h"
#include "tests/document/document_test_support.h"
#include "tests/os/temp_root.h"

namespace {

namespace fs = std::filesystem;

struct Picture {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
    bool ok() const { return width > 0; }
    const uint8_t* at(int x, int y) const { return &rgb[3 * (static_cast<size_t>(y) * width + x)]; }
};

Picture read_png(const std::string& path) {
    Picture picture;
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return picture;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) return picture;
    picture.width = static_cast<int>(image.width);
    picture.height = static_cast<int>(image.height);
    picture.rgb = std::move(pixels);
    return picture;
}

bool near(const uint8_t* pixel, int r, int g, int b, int tolerance = 3) {
    return std::abs(pixel[0] - r) <= tolerance && std::abs(pixel[1] - g) <= tolerance &&
           std::abs(pixel[2] - b) <= tolerance;
}

// Runs a program to its end; its standard output, and -1 as status when it did not exit.
// Waits for a child to end, at most `seconds`; its exit status, -1 when killed, -2 on time-out.
int wait_exit(pid_t pid, int seconds) {
    const int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (fd >= 0) {
        pollfd watch{fd, POLLIN, 0};
        const int ready = ::poll(&watch, 1, seconds * 1000);
        ::close(fd);
        if (ready == 0) return -2;
    }
    int status = 0;
    if (::waitpid(pid, &status, 0) != pid) return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class XvfbWindow : public ::testing::Test {
protected:
    virtual std::string screen_geometry() const { return "1024x900x24"; }
    void SetUp() override {
        if (::access("/usr/bin/Xvfb", X_OK) != 0) GTEST_SKIP() << "Xvfb is not installed (tools/install-deps.sh)";
        // Xvfb picks a free display number and writes it to the pipe.
        int pipe_fds[2];
        ASSERT_EQ(::pipe(pipe_fds), 0);
        const std::string fd_text = std::to_string(pipe_fds[1]);
        std::vector<std::string> words = {"Xvfb",      "-displayfd", fd_text,   "-screen", "0", screen_geometry(),
                                          "-nolisten", "tcp",        "-noreset"};
        std::vector<char*> argv;
        for (std::string& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        ASSERT_EQ(::posix_spawn(&xvfb, "/usr/bin/Xvfb", &actions, nullptr, argv.data(), environ), 0);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipe_fds[1]);
        std::string number;
        pollfd readable{pipe_fds[0], POLLIN, 0};
        char c = 0;
        while (::poll(&readable, 1, 20000) == 1 && ::read(pipe_fds[0], &c, 1) == 1 && c != '\n') number += c;
        ::close(pipe_fds[0]);
        ASSERT_FALSE(number.empty()) << "Xvfb did not start";
        env.set("DISPLAY", ":" + number);
        env.unset("WAYLAND_DISPLAY");
        env.unset("SDL_VIDEODRIVER");

        screenshot = root.path() + "/shot.png";
        env.set("QUILLON_SCREENSHOT", screenshot);
        env.unset("QUILLON_APP_DIR");
        const std::string microphone = root.path() + "/microphone.wav";
        document_test::write_tone(microphone, 44100, 30.0);
        env.set("QUILLON_AUDIO_IN", microphone);
        env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
        env.set("QUILLON_AUDIO_PACE", "1");
        ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
        ASSERT_TRUE(os::reg_flush(kKorvel));
#ifdef __SANITIZE_ADDRESS__
        // Mesa's GLX keeps allocations for the process's life, which the leak checker would
        // blame on the program: under the sanitizers the window draws through SDL's software
        // renderer, straight into X shared memory, instead.
        env.set("SDL_RENDER_DRIVER", "software");
        env.set("SDL_FRAMEBUFFER_ACCELERATION", "0");
#endif
    }
    void TearDown() override {
        if (xvfb > 0) {
            ::kill(xvfb, SIGTERM);
            ::waitpid(xvfb, nullptr, 0);
        }
        env.unset("DISPLAY");
        env.unset("QUILLON_SCREENSHOT");
    }

    std::string log() { return os::to_utf8(read_log_text(root.path() + "/Temp/quillon-touch.txt")); }
    bool log_has(const std::string& text) { return log().find(text) != std::string::npos; }

    // Starts the program and waits until its start-up is over and its first frame is shown;
    // returns the X window's id.
    std::string start(const std::vector<std::string>& words) {
        touch = std::make_unique<Program>(words);
        EXPECT_TRUE(touch->started());
        EXPECT_TRUE(watch.wait_until([&] { return fs::exists(screenshot) && log_has("load_secondary_things:"); }))
            << log();
        const RunResult found = run({"timeout", "20", "xdotool", "search", "--sync", "--name", "^Quillon Touch$"});
        EXPECT_EQ(found.status, 0);
        return found.output.substr(0, found.output.find('\n'));
    }

    TempRoot root;
    ScopedEnv env;
    FolderWatch watch{root.path()};
    pid_t xvfb = -1;
    std::string screenshot;
    std::unique_ptr<Program> touch;
};

TEST_F(XvfbWindow, ShowsTheSplashTakesKeysFollowsAResizeAndClosesWhenIdle) {
    const std::string window = start({});
    ASSERT_FALSE(window.empty());

    // What the program composed, and what the X server shows in its window. The main screen
    // follows the splash once the skin is loaded; that frame reaches the screenshot within a second.
    const std::string captured_path = root.path() + "/window.png";
    Picture composed, captured;
    int differing = -1;
    EXPECT_TRUE(watch.wait_until([&] {
        composed = read_png(screenshot);
        if (run({"import", "-window", window, captured_path}).status != 0) return false;
        captured = read_png(captured_path);
        if (!composed.ok() || captured.width != composed.width || captured.height != composed.height) return false;
        differing = 0;
        for (int y = 0; y < captured.height; ++y) {
            for (int x = 0; x < captured.width; ++x) {
                const uint8_t* expected = composed.at(x, y);
                differing += !near(captured.at(x, y), expected[0], expected[1], expected[2]);
            }
        }
        return differing == 0;
    })) << differing
        << " pixels differ";
    ASSERT_TRUE(composed.ok());
    EXPECT_EQ(composed.width, 480);
    EXPECT_EQ(composed.height, 800);
    // The main screen of the shipped skin has replaced the splash: its background at the top
    // corner and down the empty list, and the record button drawn in the bar at the bottom.
    const uint8_t* corner = captured.at(10, 10);
    EXPECT_TRUE(near(captured.at(240, 400), corner[0], corner[1], corner[2], 0));
    int drawn = 0;
    for (int y = 740; y < 796; ++y) {
        for (int x = 212; x < 268; ++x) drawn += !near(captured.at(x, y), corner[0], corner[1], corner[2], 0);
    }
    EXPECT_GT(drawn, 1000);

    // Keys and typed text reach the window procedure.
    ASSERT_EQ(run({"xdotool", "windowfocus", "--sync", window}).status, 0);
    ASSERT_EQ(run({"xdotool", "key", "Escape", "F1"}).status, 0);
    ASSERT_EQ(run({"xdotool", "type", "q"}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] { return log_has("WM_CHAR=q lParam="); })) << log();
    EXPECT_TRUE(log_has("WM_KEYDOWN = 27(Esc) lParam="));
    EXPECT_TRUE(log_has("(SOFT_LEFT) lParam="));

    // A resize: the next frames are composed at the new size.
    ASSERT_EQ(run({"xdotool", "windowsize", window, "300", "500"}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] { return read_png(screenshot).width == 300; })) << log();
    const Picture resized = read_png(screenshot);
    EXPECT_EQ(resized.height, 500);
    EXPECT_TRUE(near(resized.at(5, 5), corner[0], corner[1], corner[2], 0));
    EXPECT_TRUE(log_has("Application::ResolutionChanged 2\n"));

    // The close button ends the program when nothing records.
    ASSERT_EQ(run({std::string(QUILLON_TESTS_DIR) + "/x11_close", window}).status, 0);
    const pid_t pid = touch->pid();
    EXPECT_EQ(wait_exit(pid, 20), 0) << log();
    touch->forget();
    EXPECT_FALSE(log_has("WM_CLOSE refused"));

    // The desktop window comes back at the size it was left at.
    uint32_t width = 0, height = 0;
    EXPECT_TRUE(os::reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"WindowWidth", width));
    EXPECT_TRUE(os::reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"WindowHeight", height));
    EXPECT_EQ(width, 300u);
    EXPECT_EQ(height, 500u);
    fs::remove(screenshot);
    fs::remove(root.path() + "/Temp/quillon-touch.txt");
    ASSERT_FALSE(start({}).empty());
    EXPECT_EQ(read_png(screenshot).width, 300);
    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);
}

TEST_F(XvfbWindow, CloseIsRefusedWhileARecordingRuns) {
    const std::string window = start({"record"});
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(run({std::string(QUILLON_TESTS_DIR) + "/x11_close", window}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] { return log_has("WM_CLOSE refused\n"); })) << log();
    // Still running, still recording: SIGTERM finishes the file and ends it cleanly.
    int status = 0;
    EXPECT_EQ(::waitpid(touch->pid(), &status, WNOHANG), 0);
    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);
    bool recorded = false;
    for (const auto& entry : fs::recursive_directory_iterator(root.path() + "/Documents")) {
        recorded |= entry.path().extension() == ".mp3" && entry.file_size() > 0;
    }
    EXPECT_TRUE(recorded);
}

// The main screen from the keyboard: R starts a voice note, Escape stops it on the recording
// screen, and the keypad digits of its title find its row among the others.
TEST_F(XvfbWindow, RecordsFromTheKeyboardAndFindsTheNoteByItsDigits) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    fs::create_directories(folder);
    const std::string others[] = {"Quebec", "Hotel"};
    for (const std::string& other : others) document_test::write_tone(folder + "/" + other + ".wav", 8000, 0.2);
    const std::string window = start({});
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(run({"xdotool", "windowfocus", "--sync", window}).status, 0);

    ASSERT_EQ(run({"xdotool", "key", "r"}).status, 0);
    std::string note;
    ASSERT_TRUE(watch.wait_until([&] {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".mp3" && entry.file_size() > 4096) note = entry.path().stem().string();
        }
        return !note.empty();
    })) << log();
    // Escape closes the recording screen, which stops the note; the list is in front again.
    ASSERT_EQ(run({"xdotool", "key", "Escape"}).status, 0);
    ASSERT_TRUE(watch.wait_until([&] { return log_has("Document::stop\n"); })) << log();

    // The keypad keys of the title's first letters, as a phone would type them.
    const std::string keys[] = {"0", "1", "abc", "def", "ghi", "jkl", "mno", "pqrs", "tuv", "wxyz"};
    auto key_of = [&](char c) {
        for (int key = 0; key < 10; ++key) {
            if (c == '0' + key || keys[key].find(static_cast<char>(std::tolower(c))) != std::string::npos) {
                return static_cast<char>('0' + key);
            }
        }
        return '?';
    };
    // The file is named after the artist "Record" and the title; that artist, the same for every
    // voice note, is not searched, so the digits are those of the title.
    const std::string title = note.substr(note.find(' ') + 1);
    std::string digits;
    for (char c : title) {
        if (!std::isalnum(static_cast<unsigned char>(c)) || digits.size() == 3) break;
        digits += key_of(c);
    }
    ASSERT_FALSE(digits.empty()) << note;
    // A date whose first word is one digit may also find another record; those are counted.
    int expected = 1;
    for (const std::string& other : others) {
        bool same = true;
        for (size_t i = 0; i < digits.size(); ++i) same = same && key_of(other[i]) == digits[i];
        expected += same;
    }
    for (char digit : digits) ASSERT_EQ(run({"xdotool", "key", std::string(1, digit)}).status, 0);
    const std::string found = "main screen: search " + digits + " shows " + std::to_string(expected) + "\n";
    EXPECT_TRUE(watch.wait_until([&] { return log_has(found); })) << note << " " << log();
    EXPECT_TRUE(fs::exists(folder + "/" + note + ".mp3"));

    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);
}

// The recording screen's state in the real window: "Recording" while the note grows, "Paused" on
// Space, and "Waiting for speech" once voice activation hears only what lies under its threshold.
TEST_F(XvfbWindow, RecordingScreenSaysWhetherItRecordsPausesOrWaitsForSpeech) {
    const std::string window = start({"record"});
    ASSERT_FALSE(window.empty());
    ASSERT_EQ(run({"xdotool", "windowfocus", "--sync", window}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] { return log_has("recording screen: Recording\n"); })) << log();
    ASSERT_EQ(run({"xdotool", "key", "space"}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] { return log_has("recording screen: Paused\n"); })) << log();
    ASSERT_EQ(run({"xdotool", "key", "space"}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] {
        const std::string text = log();
        return text.find("recording screen: Recording\n", text.find("recording screen: Paused\n")) != std::string::npos;
    })) << log();
    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);

    // The microphone's tone reaches a quarter of full scale; a threshold of a half holds it back.
    ASSERT_TRUE(os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"VasLevel", 1048576 / 2));
    ASSERT_TRUE(os::reg_flush(kKorvel));
    fs::remove(screenshot);
    const std::string again = start({"record"});
    ASSERT_FALSE(again.empty());
    EXPECT_TRUE(watch.wait_until([&] { return log_has("recording screen: Waiting\n"); })) << log();
    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);
}

// A phone-shaped X server without a window manager: nothing honours full screen there.
class XvfbPhone : public XvfbWindow {
protected:
    std::string screen_geometry() const override { return "720x1440x24"; }
};

// The window covers the bare 720x1440 screen and the screens are laid out for it, so a click where
// the record button is drawn records; a flick glides the list on frames of its own to rest, and a
// list pulled past its top goes back by itself.
TEST_F(XvfbPhone, TheWindowCoversTheScreenAndTheListGlidesAndComesBack) {
    const std::string folder = root.path() + "/Documents/My Quillon";
    fs::create_directories(folder);
    for (int i = 0; i < 200; ++i) document_test::write_tone(folder + "/Row " + std::to_string(i) + ".wav", 8000, 0.01);
    const std::string window = start({});
    ASSERT_FALSE(window.empty());
    EXPECT_TRUE(log_has("the window covers the display 720x1440")) << log();
    const RunResult geometry = run({"xdotool", "getwindowgeometry", window});
    EXPECT_NE(geometry.output.find("Geometry: 720x1440"), std::string::npos) << geometry.output;
    ASSERT_TRUE(watch.wait_until([&] { return log_has("record scan: 200 records"); })) << log();
    ASSERT_TRUE(watch.wait_until([&] {
        const Picture shown = read_png(screenshot);
        return shown.width == 720 && shown.height == 1440;
    }));

    // A 300 pixel flick, upward: the list glides on and rests well beyond the drag.
    auto drag = [&](int from, int to, int steps, bool rest) {
        ASSERT_EQ(run({"xdotool", "mousemove", "360", std::to_string(from), "mousedown", "1"}).status, 0);
        for (int i = 1; i <= steps; ++i) {
            ASSERT_EQ(run({"xdotool", "mousemove", "360", std::to_string(from + (to - from) * i / steps)}).status, 0);
        }
        if (rest) ::usleep(300000);  // the finger stops before lifting: no fling
        ASSERT_EQ(run({"xdotool", "mouseup", "1"}).status, 0);
    };
    drag(1200, 900, 6, false);
    std::string rested;
    ASSERT_TRUE(watch.wait_until([&] {
        const std::string text = log();
        const size_t at = text.rfind("list rests at ");
        if (at == std::string::npos) return false;
        // The log line may be caught half written: only a whole line counts.
        const size_t end = text.find('\n', at);
        if (end == std::string::npos || end == at + 14) return false;
        rested = text.substr(at + 14, end - at - 14);
        return true;
    })) << log();
    EXPECT_GT(std::stoi(rested), 400) << "the list stopped where the finger left it";

    // Pulled far past the top and let go: it goes back to the top by itself.
    for (int i = 0; i < 4; ++i) drag(300, 1100, 4, true);
    EXPECT_TRUE(watch.wait_until([&] { return log().rfind("list rests at 0\n") != std::string::npos; })) << log();

    // The record button, clicked where it is drawn at the bottom of the covering window.
    ASSERT_EQ(run({"xdotool", "mousemove", "360", "1407", "click", "1"}).status, 0);
    EXPECT_TRUE(watch.wait_until([&] {
        for (const auto& entry : fs::directory_iterator(folder)) {
            if (entry.path().extension() == ".mp3" && entry.file_size() > 4096) return true;
        }
        return false;
    })) << log();
    touch->signal(SIGTERM);
    EXPECT_EQ(touch->wait(), 0);
}

// A main skin without the main screen's element: the program says so and ends at the splash
// timer instead of crashing. Without a window (a message box would wait for its OK button), the
// message goes to standard error and the log.
TEST(BrokenSkin, AMainSkinWithoutTheMainScreenEndsTheProgramWithAMessage) {
    TempRoot root;
    // A program folder whose "default.skin" is the splash skin: a valid skin without "FormMain".
    const std::string app = root.path() + "/app";
    fs::create_directories(app);
    fs::copy(std::string(QUILLON_BIN_DIR) + "/skins", app + "/skins", fs::copy_options::recursive);
    fs::copy_file(app + "/skins/bin/splash.skin", app + "/skins/bin/default.skin",
                  fs::copy_options::overwrite_existing);
    fs::copy_file(std::string(QUILLON_BIN_DIR) + "/english.lng", app + "/english.lng");
    ScopedEnv env;
    env.set("QUILLON_APP_DIR", app);
    env.set("QUILLON_AUDIO_IN", root.path() + "/none.wav");
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    ASSERT_TRUE(os::reg_flush(kKorvel));

    Program touch({"--headless"});
    ASSERT_TRUE(touch.started());
    // A start that could not show its screen has failed: the exit status says so.
    EXPECT_EQ(wait_exit(touch.pid(), 20), 1);
    touch.forget();
    const std::string log = os::to_utf8(read_log_text(root.path() + "/Temp/quillon-touch.txt"));
    EXPECT_NE(log.find("Starter: the main skin is incomplete: element not found in skin: FormMain"), std::string::npos)
        << log;
    EXPECT_NE(log.find("message: The skin files are missing or damaged, please reinstall"), std::string::npos);
    env.unset("QUILLON_APP_DIR");
}

}  // namespace
