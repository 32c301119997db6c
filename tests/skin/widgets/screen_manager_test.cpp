#include "skin/screen_manager.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "skin/button_widget.h"
#include "skin/visibility_animation.h"
#include "tests/skin/skin_test_support.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
const char* kScreens = R"(
element Full {
    string id Full
    child {
        string type color
        color color 200 100 40
    }
    child {
        string type button
        string id ok
        string anchor_x MIN_SIDE
        string anchor_y MIN_SIDE
        point design_size 20 20
    }
}
element Dialog {
    string id Dialog
    string visibility_animation pop
    child {
        string type color
        string anchor_x CENTER
        string anchor_y CENTER
        point design_size 20 20
        color color 255 255 255
    }
    child {
        string type button
        string id close
        string anchor_x MIN_SIDE
        string anchor_y MIN_SIDE
        point border_min 30 30
        point design_size 10 10
    }
}
element Sliding {
    string id Sliding
    string visibility_animation scale
    child {
        string type color
        color color 0 0 255
    }
    child {
        string type button
        string id go
        string anchor_x MIN_SIDE
        string anchor_y MIN_SIDE
        point design_size 20 20
    }
}
)";

constexpr Size kScreen{64, 48};

struct Stack {
    std::unique_ptr<Properties> properties = load(kScreens);
    ScreenManager manager{kScreen};
    TestScreen full, dialog, sliding;
    RenderSurface frame{kScreen.width, kScreen.height};
    Stack() {
        full.bind(*properties, u"Full");
        dialog.bind(*properties, u"Dialog");
        sliding.bind(*properties, u"Sliding");
        for (TestScreen* screen : {&full, &dialog, &sliding}) {
            for (const char16_t* id : {u"ok", u"close", u"go"}) screen->try_attach(id, screen);
        }
    }
    void frames(int count, double dt = 1.0 / 60.0) {
        for (int i = 0; i < count; ++i) {
            manager.tick(dt);
            manager.compose(frame);
        }
    }
    Pixel at(int x, int y) { return frame.bitmap()->at(x, y); }
};

int red_of(Pixel p) { return p >> 11; }
}  // namespace

TEST(ScreenManager, OverlayDimsInEightFramesAndBack) {
    Stack s;
    EXPECT_TRUE(s.manager.needs_frame());
    s.manager.push_screen(&s.full, false);
    s.frames(1);
    const Pixel plain = s.at(40, 40);
    EXPECT_EQ(plain, to_pixel(Color{200, 100, 40, 255}));
    EXPECT_FALSE(s.manager.needs_frame());

    s.manager.push_screen(&s.dialog, true);
    EXPECT_FALSE(s.full.is_visible());
    for (int i = 0; i < 8; ++i) {
        EXPECT_TRUE(s.manager.needs_frame());
        s.frames(1);
    }
    EXPECT_EQ(s.manager.dim_level(), 128);
    s.frames(30);  // the pop ends too
    EXPECT_FALSE(s.manager.needs_frame());
    // The full screen shows through at half brightness around the dialog's white square.
    EXPECT_EQ(red_of(s.at(2, 40)), red_of(plain) / 2);
    EXPECT_EQ(s.at(32, 24), to_pixel(Color{255, 255, 255, 255}));

    EXPECT_TRUE(s.manager.remove_screen(&s.dialog));
    EXPECT_TRUE(s.full.is_visible());
    for (int i = 0; i < 8; ++i) s.frames(1);
    EXPECT_EQ(s.manager.dim_level(), 256);
    // The eighth frame was still dimmed a little; the next one is clean, and then all is still.
    EXPECT_TRUE(s.manager.needs_frame());
    s.frames(1);
    EXPECT_EQ(s.at(40, 40), plain);
    EXPECT_FALSE(s.manager.needs_frame());
}

TEST(ScreenManager, AScreenThatChangesUnderADialogShowsTheChangeThroughIt) {
    Stack s;
    s.manager.push_screen(&s.full, false);
    s.frames(1);
    s.manager.push_screen(&s.dialog, true);
    s.frames(40);
    ASSERT_FALSE(s.manager.needs_frame());
    const Pixel dimmed = s.at(2, 40);
    EXPECT_NE(dimmed, to_pixel(s.manager.background()));

    // Covered, the full screen loses its colour: a frame comes, and the dimmed picture follows.
    s.full.children().front()->set_visible_now(false);
    EXPECT_TRUE(s.manager.needs_frame());
    s.frames(1);
    EXPECT_EQ(s.at(2, 40), to_pixel(Color{0, 0, 0, 255}));
    EXPECT_FALSE(s.manager.needs_frame());  // and then all is still again
    EXPECT_TRUE(s.manager.remove_screen(&s.dialog));
}

TEST(ScreenManager, RemovingAbsentOrMiddleScreens) {
    Stack s;
    EXPECT_FALSE(s.manager.remove_screen(&s.full));
    s.manager.push_screen(&s.full, false);
    s.manager.push_screen(&s.dialog, true);
    s.frames(10);
    EXPECT_FALSE(s.manager.remove_screen(&s.sliding));
    EXPECT_EQ(s.manager.depth(), 2u);
    EXPECT_EQ(s.manager.top(), &s.dialog);

    // Out of the middle: hidden, no transition, the top untouched.
    s.manager.push_screen(&s.sliding, true);
    s.frames(10);
    EXPECT_TRUE(s.manager.remove_screen(&s.dialog));
    EXPECT_FALSE(s.dialog.is_visible());
    EXPECT_EQ(s.manager.top(), &s.sliding);
    EXPECT_FALSE(s.manager.is_transition_running());
    EXPECT_EQ(s.manager.depth(), 2u);
}

TEST(ScreenManager, TransitionsRunAndReverse) {
    Stack s;
    s.manager.push_screen(&s.full, false);
    s.frames(2);
    s.manager.push_screen(&s.sliding, false);
    ASSERT_TRUE(s.manager.is_transition_running());
    const VisibilityAnimation* opening = s.manager.transition();
    EXPECT_EQ(opening->keyword(), u"scale");
    EXPECT_EQ(opening->direction(), 1);
    s.frames(3);
    // Half-way the old screen shows at the corners, the new one grows in the middle.
    EXPECT_EQ(s.at(0, 0), to_pixel(Color{200, 100, 40, 255}));
    EXPECT_EQ(s.at(32, 24), to_pixel(Color{0, 0, 255, 255}));
    const double progress = opening->progress();
    EXPECT_GT(progress, 0.0);

    // Closed while opening: the same transition turns around.
    EXPECT_TRUE(s.manager.remove_screen(&s.sliding));
    EXPECT_EQ(s.manager.transition(), opening);
    EXPECT_EQ(opening->direction(), -1);
    EXPECT_DOUBLE_EQ(opening->progress(), progress);
    // And opened again while closing: turned around once more.
    s.manager.push_screen(&s.sliding, false);
    EXPECT_EQ(s.manager.transition(), opening);
    EXPECT_EQ(opening->direction(), 1);

    // A quarter of a second finishes it.
    s.frames(20);
    EXPECT_FALSE(s.manager.is_transition_running());
    EXPECT_EQ(s.at(0, 0), to_pixel(Color{0, 0, 255, 255}));
    s.frames(1);
    EXPECT_FALSE(s.manager.needs_frame());

    // Closing plays the removed screen's animation backwards over the screen below.
    EXPECT_TRUE(s.manager.remove_screen(&s.sliding));
    ASSERT_TRUE(s.manager.is_transition_running());
    EXPECT_EQ(s.manager.transition()->direction(), -1);
    s.frames(20);
    EXPECT_FALSE(s.manager.is_transition_running());
    EXPECT_EQ(s.at(32, 24), to_pixel(Color{200, 100, 40, 255}));
}

TEST(ScreenManager, InputGoesToTheTopScreenOnly) {
    Stack s;
    s.manager.push_screen(&s.full, false);
    s.frames(1);
    // A press held on the full screen is cancelled when a dialog comes over it.
    s.manager.on_pointer_down(5, 5);
    EXPECT_TRUE(static_cast<ButtonWidget*>(s.full.find_child(u"ok"))->is_pressed());
    s.manager.push_screen(&s.dialog, true);
    EXPECT_FALSE(static_cast<ButtonWidget*>(s.full.find_child(u"ok"))->is_pressed());
    s.manager.on_pointer_move(6, 6);
    s.manager.on_pointer_up(5, 5, false);
    EXPECT_EQ(s.full.count("click"), 0);
    EXPECT_EQ(s.full.count("press"), 2);

    // The dialog gets input while it is still popping up, and may close itself from its click.
    struct Closer : EventSink {
        ScreenManager* manager;
        Widget* dialog;
        int clicks = 0;
        void on_click(Widget*, const PointerEvent&) override {
            ++clicks;
            manager->remove_screen(dialog);
        }
    } closer;
    closer.manager = &s.manager;
    closer.dialog = &s.dialog;
    s.dialog.find_child(u"close")->set_controller(&closer);
    s.manager.on_pointer_down(35, 35);
    s.manager.on_pointer_up(35, 35, false);
    EXPECT_EQ(closer.clicks, 1);
    EXPECT_EQ(s.manager.top(), &s.full);

    // During a screen transition the screen being opened takes the input.
    s.manager.push_screen(&s.sliding, false);
    ASSERT_TRUE(s.manager.is_transition_running());
    s.manager.on_pointer_down(5, 5);
    s.manager.on_pointer_up(5, 5, false);
    EXPECT_EQ(s.sliding.count("click"), 1);
    // A release that lost its capture clicks nothing.
    s.manager.on_pointer_down(5, 5);
    s.manager.on_pointer_up(-1000000, -1000000, true);
    EXPECT_EQ(s.sliding.count("click"), 1);
    // Input with nothing on the stack goes nowhere.
    ScreenManager empty(kScreen);
    empty.on_pointer_down(1, 1);
    empty.on_pointer_up(1, 1, false);
    EXPECT_FALSE(empty.on_key(key_down(key::Enter)));
}

TEST(ScreenManager, FrameTimeDisplayAndListener) {
    Stack s;
    struct Listener : ScreenStackListener {
        int pushed = 0, removed = 0;
        void on_screen_pushed(Widget*, bool) override { ++pushed; }
        void on_screen_removed(Widget*) override { ++removed; }
    } listener;
    s.manager.set_listener(&listener);
    s.manager.push_screen(&s.full, false);
    s.manager.remove_screen(&s.full);
    EXPECT_EQ(listener.pushed, 1);
    EXPECT_EQ(listener.removed, 1);

    FrameTimeDisplay display;
    for (int i = 0; i < 25; ++i) display.record(i * 0.025);
    EXPECT_NEAR(display.average_ms(), 25.0, 1e-9);
    EXPECT_EQ(display.text(true, 384000), u"25.0 ms 384 Kp");
    EXPECT_EQ(display.text(false, 999), u"[25.0 ms] 0 Kp");
    EXPECT_EQ(FrameTimeDisplay::color_for(10), (Color{0, 255, 0, 255}));
    EXPECT_EQ(FrameTimeDisplay::color_for(30), (Color{128, 255, 0, 255}));
    EXPECT_EQ(FrameTimeDisplay::color_for(50), (Color{255, 128, 0, 255}));
    EXPECT_EQ(FrameTimeDisplay::color_for(70), (Color{255, 0, 0, 255}));

    // Ctrl+T switches it on: the top-left corner is drawn over, the rest not.
    s.manager.push_screen(&s.full, false);
    s.manager.on_key(key_down(key::Ctrl));
    EXPECT_TRUE(s.manager.on_key(key_down(key::letter('T'))));
    EXPECT_TRUE(s.manager.frame_time_display());
    s.manager.on_key(key_up(key::letter('T')));
    s.manager.on_key(key_up(key::Ctrl));
    s.frames(2);
    EXPECT_NE(s.at(60, 2), s.at(60, 40));  // dimmed patch
    EXPECT_FALSE(s.manager.on_key(key_down(key::letter('T'))));
}

TEST(ScreenManager, FirstPushDumpsTheTreeToTheLog) {
    skin_test::temp_folder();
    ASSERT_TRUE(os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 1));
    Stack s;
    s.frames(1);
    s.manager.push_screen(&s.full, false);
    s.manager.remove_screen(&s.full);
    s.manager.push_screen(&s.full, false);
    os::log().flush();
    ASSERT_TRUE(os::reg_write_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"Log", 0));
    std::ifstream file(os::to_utf8(os::log_file_path()), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8);
    }
    // Screen coordinates, one tab per level, once.
    const std::u16string line = u"\t{ok} position=0,0 size=20,20 design_size=20,20 rs.size=0,0\n";
    const size_t first = text.find(line);
    ASSERT_NE(first, std::u16string::npos) << os::to_utf8(text);
    EXPECT_EQ(text.find(line, first + 1), std::u16string::npos);
    EXPECT_NE(text.find(u"{Full} position=0,0 size=64,48"), std::u16string::npos);
}
