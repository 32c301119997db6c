// The window host over SDL's dummy video driver: key translation, pointer delivery and its
// cancellation, frame pacing and the stall clamp, command hand-overs with the window up, and the
// close button refused while a recording runs. Input arrives as synthetic SDL events, exactly as
// the window system's would.
#include <SDL.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/application.h"
#include "app/application_listener.h"
#include "app/game_base.h"
#include "app/instance_channel.h"
#include "app/key_translation.h"
#include "app/sdl_event_loop.h"
#include "app/starter.h"
#include "document/document.h"
#include "os/registry.h"
#include "os/text.h"
#include "os/tick.h"
#include "skin/display/display.h"
#include "skin/frame_source.h"
#include "skin/input_sink.h"
#include "skin/text_input_host.h"
#include "skin/widget.h"
#include "tests/document/document_test_support.h"
#include "tests/os/temp_root.h"

namespace {

// The data files (skins, beeps) beside the programs; set before anything asks for the folder.
const ScopedEnv g_app_dir("QUILLON_APP_DIR", QUILLON_BIN_DIR);
const bool app_dir_set = std::getenv("QUILLON_APP_DIR") != nullptr;

// The log of this test program.
std::u16string log_of(const TempRoot& root) {
    return read_log_text(root.path() + "/Temp/" + std::string(program_invocation_short_name) + ".txt");
}

struct PointerRecord {
    char kind;  // 'd', 'm', 'u'
    int32_t x;
    int32_t y;
    bool cancelled;
    friend bool operator==(const PointerRecord&, const PointerRecord&) = default;
};

class InputRecorder final : public InputSink {
public:
    bool on_key(const KeyEvent& event) override {
        keys.push_back(event);
        return true;
    }
    void on_text(std::u16string_view text) override { texts.emplace_back(text); }
    void on_pointer_down(int32_t x, int32_t y) override { pointers.push_back({'d', x, y, false}); }
    void on_pointer_move(int32_t x, int32_t y) override { pointers.push_back({'m', x, y, false}); }
    void on_pointer_up(int32_t x, int32_t y, bool cancelled) override { pointers.push_back({'u', x, y, cancelled}); }

    std::vector<KeyEvent> keys;
    std::vector<std::u16string> texts;
    std::vector<PointerRecord> pointers;
};

class FrameRecorder final : public FrameSource {
public:
    bool needs_frame() override { return wanted; }
    void tick(double elapsed) override { ticks.push_back(elapsed); }
    void compose(RenderSurface& frame) override {
        ++composed;
        size = frame.size();
        frame.fill({0, 0, size.width, size.height}, Color{255, 0, 0, 255});
    }

    bool wanted = true;
    std::vector<double> ticks;
    int composed = 0;
    Size size;
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("SDL_VIDEODRIVER", "dummy");
        ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
        host = std::make_unique<GameBase>(u"Quillon Touch", WindowOptions{});
        ASSERT_TRUE(host->has_window());
        loop = host->sdl_loop();
        ASSERT_NE(loop, nullptr);
        host->set_input_sink(&input);
    }
    void TearDown() override {
        host.reset();
        env.unset("SDL_VIDEODRIVER");
    }

    static uint32_t window_of_host() {
        // The dummy driver numbers windows from 1; the host has the only one.
        for (uint32_t id = 1; id < 64; ++id) {
            if (SDL_GetWindowFromID(id)) return id;
        }
        return 0;
    }

    void push_key(SDL_Keycode key, bool down, bool repeat = false) {
        SDL_Event event{};
        event.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        event.key.windowID = window_of_host();
        event.key.state = down ? SDL_PRESSED : SDL_RELEASED;
        event.key.repeat = repeat ? 1 : 0;
        event.key.keysym.sym = key;
        event.key.keysym.scancode = SDL_GetScancodeFromKey(key);
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void push_mouse(uint32_t type, int x, int y, uint32_t which = 0) {
        SDL_Event event{};
        event.type = type;
        if (type == SDL_MOUSEMOTION) {
            event.motion.windowID = window_of_host();
            event.motion.which = which;
            event.motion.x = x;
            event.motion.y = y;
        } else {
            event.button.windowID = window_of_host();
            event.button.which = which;
            event.button.button = SDL_BUTTON_LEFT;
            event.button.x = x;
            event.button.y = y;
        }
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void push_finger(uint32_t type, int64_t finger, float x, float y) {
        SDL_Event event{};
        event.type = type;
        event.tfinger.fingerId = finger;
        event.tfinger.x = x;
        event.tfinger.y = y;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    void push_window(uint8_t what, int32_t data1 = 0, int32_t data2 = 0) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.windowID = window_of_host();
        event.window.event = what;
        event.window.data1 = data1;
        event.window.data2 = data2;
        ASSERT_EQ(SDL_PushEvent(&event), 1);
    }
    std::u16string log() { return log_of(root); }

    TempRoot root;
    ScopedEnv env;
    std::unique_ptr<GameBase> host;
    SdlEventLoop* loop = nullptr;
    InputRecorder input;
};

TEST_F(WindowTest, KeysTranslateWithRepeatAndLogLines) {
    struct Case {
        SDL_Keycode platform;
        int32_t code;
    };
    const std::vector<Case> cases = {
        {SDLK_ESCAPE, key::Esc},
        {SDLK_BACKSPACE, key::Backspace},
        {SDLK_F1, key::SoftLeft},
        {SDLK_F2, key::SoftRight},
        {SDLK_F3, key::CallMake},
        {SDLK_F4, key::CallEnd},
        {SDLK_F6, key::VolumeUp},
        {SDLK_F7, key::VolumeDown},
        {SDLK_F8, key::Star},
        {SDLK_F9, key::Hash},
        {SDLK_VOLUMEUP, key::VolumeUp},
        {SDLK_VOLUMEDOWN, key::VolumeDown},
        {SDLK_a, key::A},
        {SDLK_z, key::A + 25},
        {SDLK_0, key::Digit0},
        {SDLK_9, key::Digit0 + 9},
        {SDLK_RETURN, key::Enter},
        {SDLK_LEFT, key::Left},
        {SDLK_AC_BACK, key::Esc},
        {SDLK_F12, key::None},
    };
    for (const Case& c : cases) {
        push_key(c.platform, true);
        push_key(c.platform, false);
    }
    ASSERT_TRUE(loop->run_until([&] { return input.keys.size() == 2 * cases.size(); }, 5000));
    for (size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(input.keys[2 * i].code, cases[i].code) << SDL_GetKeyName(cases[i].platform);
        EXPECT_TRUE(input.keys[2 * i].pressed);
        EXPECT_TRUE(input.keys[2 * i].fresh);
        EXPECT_FALSE(input.keys[2 * i + 1].pressed);
        EXPECT_EQ(input.keys[2 * i + 1].code, cases[i].code);
    }
    // Escape cancels and Backspace edits: the two keys never arrive as one.
    EXPECT_NE(translate_key(SDLK_ESCAPE), translate_key(SDLK_BACKSPACE));

    // Holding a key: the repeats are not fresh, the release that ends them is.
    input.keys.clear();
    push_key(SDLK_DOWN, true);
    push_key(SDLK_DOWN, true, true);
    push_key(SDLK_DOWN, true, true);
    push_key(SDLK_DOWN, false);
    ASSERT_TRUE(loop->run_until([&] { return input.keys.size() == 4; }, 5000));
    EXPECT_TRUE(input.keys[0].fresh);
    EXPECT_FALSE(input.keys[1].fresh);
    EXPECT_FALSE(input.keys[2].fresh);
    EXPECT_TRUE(input.keys[3].fresh);
    EXPECT_FALSE(input.keys[3].pressed);

    const std::u16string text = log();
    EXPECT_NE(text.find(u"WM_KEYDOWN = 27(Esc) lParam=41 ticks="), std::u16string::npos) << os::to_utf8(text);
    EXPECT_NE(text.find(u"WM_KEYUP = " + os::to_text(SDLK_F1) + u"(SOFT_LEFT) lParam="), std::u16string::npos);
    // A repeat carries bit 30, as the platform's key messages did.
    EXPECT_NE(text.find(u"(Down) lParam=" + os::to_text((1u << 30) | SDL_SCANCODE_DOWN) + u" ticks="),
              std::u16string::npos);
}

TEST_F(WindowTest, ListenerSeesKeysFirstAndTextArrivesPerCharacter) {
    struct Consumer final : ApplicationListener {
        bool on_key(const KeyEvent& event) override { return event.code == key::SoftLeft; }
    } listener;
    host->set_listener(&listener);
    push_key(SDLK_F1, true);
    push_key(SDLK_F2, true);
    SDL_Event event{};
    event.type = SDL_TEXTINPUT;
    std::strcpy(event.text.text, "Zoë😀");
    ASSERT_EQ(SDL_PushEvent(&event), 1);
    ASSERT_TRUE(loop->run_until([&] { return input.texts.size() == 4; }, 5000));
    ASSERT_EQ(input.keys.size(), 1u);  // the listener consumed SOFT_LEFT
    EXPECT_EQ(input.keys[0].code, key::SoftRight);
    EXPECT_EQ(input.texts, (std::vector<std::u16string>{u"Z", u"o", u"ë", u"😀"}));
    host->set_listener(nullptr);
}

TEST_F(WindowTest, PointerFromMouseAndOneFingerWithCancelWhenFocusIsLost) {
    const Size pixels = host->display()->frame_size();
    push_mouse(SDL_MOUSEBUTTONDOWN, 10, 20);
    push_mouse(SDL_MOUSEMOTION, 15, 25);
    push_mouse(SDL_MOUSEBUTTONUP, 16, 26);
    // A press whose release never comes: focus goes to another window.
    push_mouse(SDL_MOUSEBUTTONDOWN, 30, 40);
    push_window(SDL_WINDOWEVENT_FOCUS_LOST);
    push_mouse(SDL_MOUSEBUTTONUP, 31, 41);  // after the cancel: nothing more
    ASSERT_TRUE(loop->run_until([&] { return input.pointers.size() >= 5; }, 5000));
    loop->run_until([] { return false; }, 50);
    const std::vector<PointerRecord> mouse = {{'d', 10, 20, false},
                                              {'m', 15, 25, false},
                                              {'u', 16, 26, false},
                                              {'d', 30, 40, false},
                                              {'u', -1000000, -1000000, true}};
    EXPECT_EQ(input.pointers, mouse);
    EXPECT_FALSE(host->is_active());
    push_window(SDL_WINDOWEVENT_FOCUS_GAINED);
    ASSERT_TRUE(loop->run_until([&] { return host->is_active(); }, 5000));

    // A touch: the first finger drives the pointer, a second finger and SDL's mouse copy of the
    // touch are ignored, so each touch arrives once.
    input.pointers.clear();
    push_finger(SDL_FINGERDOWN, 7, 0.5f, 0.25f);
    push_mouse(SDL_MOUSEBUTTONDOWN, 240, 200, SDL_TOUCH_MOUSEID);
    push_finger(SDL_FINGERDOWN, 8, 0.1f, 0.1f);
    push_finger(SDL_FINGERMOTION, 8, 0.2f, 0.2f);
    push_finger(SDL_FINGERMOTION, 7, 0.5f, 0.5f);
    push_finger(SDL_FINGERUP, 8, 0.2f, 0.2f);
    push_finger(SDL_FINGERUP, 7, 0.5f, 0.5f);
    push_mouse(SDL_MOUSEBUTTONUP, 240, 400, SDL_TOUCH_MOUSEID);
    ASSERT_TRUE(loop->run_until([&] { return input.pointers.size() >= 3; }, 5000));
    loop->run_until([] { return false; }, 50);
    const std::vector<PointerRecord> touch = {{'d', pixels.width / 2, pixels.height / 4, false},
                                              {'m', pixels.width / 2, pixels.height / 2, false},
                                              {'u', pixels.width / 2, pixels.height / 2, false}};
    EXPECT_EQ(input.pointers, touch);

    // A finger held while the window is minimised is withdrawn too.
    input.pointers.clear();
    push_finger(SDL_FINGERDOWN, 9, 0.5f, 0.5f);
    push_window(SDL_WINDOWEVENT_MINIMIZED);
    ASSERT_TRUE(loop->run_until([&] { return input.pointers.size() == 2; }, 5000));
    EXPECT_TRUE(input.pointers[1].cancelled);
}

TEST_F(WindowTest, FramesOnlyWhenNeededPacedAndClampedAfterAStall) {
    FrameRecorder frames;
    host->set_frame_source(&frames);
    // The first frame comes at once; with frames needed they follow at most every 10 ms.
    ASSERT_TRUE(loop->run_until([&] { return frames.composed >= 5; }, 5000));
    EXPECT_EQ(frames.size, host->display()->frame_size());
    for (double elapsed : frames.ticks) {
        EXPECT_GE(elapsed, 0.001);
        EXPECT_LE(elapsed, 0.1);
    }
    // Nothing needs a frame: none is composed, however long the loop runs.
    frames.wanted = false;
    loop->run_until([] { return false; }, 30);
    const int composed = frames.composed;
    loop->run_until([] { return false; }, 200);
    EXPECT_EQ(frames.composed, composed);

    // After a stall of 2 s the next tick gets 0.1; a frame right after gets the 0.001 floor.
    static uint32_t now = 0;
    now = os::tick_count();
    os::set_tick_source([] { return now; });
    frames.wanted = true;
    frames.ticks.clear();
    host->frame_tick();
    now += 2000;
    host->frame_tick();
    host->frame_tick();
    now += 25;
    host->frame_tick();
    os::set_tick_source(nullptr);
    ASSERT_EQ(frames.ticks.size(), 4u);
    EXPECT_DOUBLE_EQ(frames.ticks[1], 0.1);
    EXPECT_DOUBLE_EQ(frames.ticks[2], 0.001);
    EXPECT_DOUBLE_EQ(frames.ticks[3], 0.025);
    host->set_frame_source(nullptr);
}

TEST_F(WindowTest, ResizeToOnePixelAndTurnsKeepFramesAndInput) {
    struct Listener final : ApplicationListener {
        int changes = 0;
        void on_resolution_changed() override { ++changes; }
    } listener;
    host->set_listener(&listener);
    FrameRecorder frames;
    host->set_frame_source(&frames);
    SDL_Window* window = SDL_GetWindowFromID(window_of_host());
    SDL_SetWindowSize(window, 1, 1);
    push_window(SDL_WINDOWEVENT_SIZE_CHANGED, 1, 1);
    ASSERT_TRUE(loop->run_until([&] { return frames.size == Size{1, 1}; }, 5000));
    EXPECT_EQ(listener.changes, 1);
    EXPECT_EQ(host->display_info().width, 1);

    SDL_SetWindowSize(window, 300, 200);
    push_window(SDL_WINDOWEVENT_SIZE_CHANGED, 300, 200);
    ASSERT_TRUE(loop->run_until([&] { return frames.size == Size{300, 200}; }, 5000));
    // A quarter turn: frames come turned, and a press lands where the turned frame shows it.
    host->set_orientation(1);
    ASSERT_TRUE(loop->run_until([&] { return frames.size == Size{200, 300}; }, 5000));
    EXPECT_EQ(host->display_info().width, 200);
    push_mouse(SDL_MOUSEBUTTONDOWN, 299, 0);
    push_mouse(SDL_MOUSEBUTTONUP, 0, 199);
    ASSERT_TRUE(loop->run_until([&] { return input.pointers.size() == 2; }, 5000));
    EXPECT_EQ(input.pointers[0], (PointerRecord{'d', 0, 0, false}));
    EXPECT_EQ(input.pointers[1], (PointerRecord{'u', 199, 299, false}));
    // Input while rendering is paused is delivered, and lifts the pause.
    host->pause_rendering();
    EXPECT_FALSE(host->is_active());
    push_key(SDLK_a, true);
    ASSERT_TRUE(loop->run_until([&] { return !input.keys.empty(); }, 5000));
    EXPECT_TRUE(host->is_active());
    EXPECT_NE(log().find(u"Application::ResolutionChanged 2\n"), std::u16string::npos);
    host->set_frame_source(nullptr);
    host->set_listener(nullptr);
}

TEST_F(WindowTest, TwoQuickHandOversRunInOrderWithTheWindowUp) {
    struct Recorder final : ApplicationListener {
        std::vector<std::u16string> texts;
        void on_command(const std::u16string& text) override { texts.push_back(text); }
    } listener;
    host->set_listener(&listener);
    ASSERT_TRUE(host->can_be_found());
    std::thread sender([] {
        for (std::u16string_view text : {u"record", u"%CommandLineEmpty%"}) {
            long long peer = 0;
            const int socket = instance_channel::connect_to_running_instance(u"GlazerClass_Quillon Touch", peer);
            EXPECT_GE(socket, 0);
            EXPECT_TRUE(instance_channel::send_command_line(socket, text));
        }
    });
    // Input keeps arriving meanwhile; it neither delays nor reorders the hand-overs.
    for (int i = 0; i < 20; ++i) push_mouse(SDL_MOUSEMOTION, i, i);
    EXPECT_TRUE(loop->run_until([&] { return listener.texts.size() == 2; }, 10000));
    sender.join();
    EXPECT_EQ(listener.texts, (std::vector<std::u16string>{u"record", u""}));
    host->set_listener(nullptr);
}

TEST_F(WindowTest, EditingKeepsTheKeyboardPreferenceAcrossRuns) {
    // Edit widgets reach the window through the text input host.
    EXPECT_EQ(text_input_host(), host.get());
    Widget edit;
    edit.set_x(10, 100);
    edit.set_y(20, 30);
    EXPECT_TRUE(host->is_direct_mode());
    host->set_edit_widget(&edit, true);
    EXPECT_TRUE(host->is_editing());
    EXPECT_FALSE(host->is_direct_mode());
    EXPECT_TRUE(SDL_IsTextInputActive());
    host->set_edit_widget(nullptr, true);
    EXPECT_TRUE(host->is_direct_mode());
    uint32_t stored = 99;
    ASSERT_TRUE(os::reg_read_dword(kKorvel, u"SIPPreference", stored));
    EXPECT_EQ(stored, host->sip_preference());
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"SIPPreference", 1));
    host.reset();
    host = std::make_unique<GameBase>(u"Quillon Touch", WindowOptions{});
    EXPECT_EQ(host->sip_preference(), 1u);
}

// The close button with the real start-up: refused while the document records, accepted after.
TEST(CloseTest, CloseIsRefusedWhileARecordingRuns) {
    TempRoot root;
    ScopedEnv env;
    env.set("SDL_VIDEODRIVER", "dummy");
    ASSERT_TRUE(app_dir_set);
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "0");
    ASSERT_TRUE(os::reg_write_dword(kKorvel, u"Log", 1));
    {
        Application application(u"Quillon Touch", WindowOptions{});
        ASSERT_TRUE(application.game_base().has_window());
        SdlEventLoop& loop = *application.game_base().sdl_loop();
        Document document;
        Starter starter(application, u"record");
        ASSERT_TRUE(document.is_recording());
        EXPECT_FALSE(starter.can_close());
        EXPECT_TRUE(starter.splash_is_shown());

        SDL_Event close{};
        close.type = SDL_WINDOWEVENT;
        close.window.event = SDL_WINDOWEVENT_CLOSE;
        for (uint32_t id = 1; id < 64 && !close.window.windowID; ++id) {
            if (SDL_GetWindowFromID(id)) close.window.windowID = id;
        }
        ASSERT_EQ(SDL_PushEvent(&close), 1);
        // The loop goes on through the splash timer and the second loading phase.
        ASSERT_TRUE(loop.run_until([&] { return starter.start_finished(); }, 5000));
        EXPECT_TRUE(document.is_recording());
        EXPECT_NE(log_of(root).find(u"WM_CLOSE refused\n"), std::u16string::npos);

        document.stop();
        EXPECT_TRUE(starter.can_close());
        ASSERT_EQ(SDL_PushEvent(&close), 1);
        application.run();  // returns: the close was accepted
    }
    env.unset("SDL_VIDEODRIVER");
    env.unset("QUILLON_AUDIO_IN");
    env.unset("QUILLON_AUDIO_OUT");
}

// Started for a call as the first instance: the window is minimised, so not active, and the
// document knows the start was for a call (with no call on the line it records nothing).
TEST(CloseTest, StartedForACallTheWindowIsMinimised) {
    TempRoot root;
    ScopedEnv env;
    env.set("SDL_VIDEODRIVER", "dummy");
    ASSERT_TRUE(app_dir_set);
    const std::string microphone = root.path() + "/microphone.wav";
    document_test::write_tone(microphone, 44100, 30.0);
    env.set("QUILLON_AUDIO_IN", microphone);
    env.set("QUILLON_AUDIO_OUT", root.path() + "/speaker.wav");
    env.set("QUILLON_AUDIO_PACE", "0");
    {
        Application application(u"Quillon Touch", WindowOptions{});
        ASSERT_TRUE(application.game_base().has_window());
        Document document;
        Starter starter(application, u"call");
        EXPECT_FALSE(starter.start_finished());
        EXPECT_FALSE(application.game_base().is_active());
        EXPECT_FALSE(document.is_recording());
    }
    env.unset("SDL_VIDEODRIVER");
    env.unset("QUILLON_AUDIO_IN");
    env.unset("QUILLON_AUDIO_OUT");
}

}  // namespace

TEST(WindowPlace, ARememberedPlaceComesBackOnTheDisplay) {
    const Rect phone{0, 0, 720, 1440};
    // Saved on a 1280-wide desktop: moved left until the window is whole on the narrow screen.
    EXPECT_EQ(clamp_window_place({800, 100}, {480, 800}, phone), (Point{240, 100}));
    // Off the top-left (a second monitor that is gone) and below the bottom.
    EXPECT_EQ(clamp_window_place({-2000, -50}, {480, 800}, phone), (Point{0, 0}));
    EXPECT_EQ(clamp_window_place({10, 1400}, {480, 800}, phone), (Point{10, 640}));
    // A place that is fine stays; a window larger than the display keeps its corner on it.
    EXPECT_EQ(clamp_window_place({100, 200}, {480, 800}, phone), (Point{100, 200}));
    EXPECT_EQ(clamp_window_place({300, 300}, {1000, 2000}, phone), (Point{0, 0}));
    // A usable area below a top panel, and no known display at all.
    EXPECT_EQ(clamp_window_place({0, 0}, {480, 800}, Rect{0, 32, 1280, 1024}), (Point{0, 32}));
    EXPECT_EQ(clamp_window_place({5000, 5000}, {480, 800}, Rect{}), (Point{5000, 5000}));
}
