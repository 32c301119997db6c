// Skins are foreign input: a damaged or hostile widget tree lays out clamped, draws within the
// screen and never allocates more than a few screens' worth of pixels.
#include <gtest/gtest.h>

#include <string>

#include "skin/screen_manager.h"
#include "skin/skin_exceptions.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
std::string hostile_source() {
    std::string source = R"(
element Huge {
    int cache 1
    string visibility_animation flip
    child {
        string type image
        string anchor_x MIN_SIDE_NO_SIZE
        string anchor_y MIN_SIDE_NO_SIZE
        point design_size 32000 32000
        point border_min -32000 -32000
        int cache 1
        int grow 1
        string visibility_animation scale
    }
    child {
        string type oldtext
        string anchor_x MAX_SIDE_NO_SIZE
        point design_size 32767 32767
        string text "far away"
        int wrap 1
    }
    child {
        string type text
        int grow_min 1
        int wrap 1
        string text "grow grow grow grow grow grow grow grow grow grow grow grow grow"
        font font 32767 1 1 1 Tahoma
    }
    child {
        string type progress
        point border_min -32768 -32768
        point border_max 32767 32767
        child {
            string type color
            string id #line
            point border_min 32767 -32768
        }
    }
    child {
        string type vlist
        int grow 1
        point scroll_border_min 0 32767
        point scroll_border_max 0 32767
    }
    child {
        string type htable
        point design_size -5 -5
        child {
            string type button
            int table_ratio 2147483647
            point design_size 32767 0
        }
        child {
            string type edit
            int table_ratio -2147483647
            point design_size -32768 0
            string text "edit"
        }
        child {
            string type clip
            int table_ratio 5
            point border_max -32768 0
        }
    }
}
element Deep {
)";
    for (int i = 0; i < 150; ++i) source += "child {\nstring type node\npoint border_min 1 1\nint cache 1\n";
    source += "child {\nstring type button\nstring id bottom\n}\n";
    for (int i = 0; i < 150; ++i) source += "}\n";
    source += "}\n";
    return source;
}
}  // namespace

TEST(HostileSkins, LayOutClampedAndDrawWithinTheScreen) {
    auto properties = load(hostile_source());
    const int64_t before = RenderSurface::pixel_count();
    const int64_t cached_before = Widget::cache_pixels();
    for (const char16_t* id : {u"Huge", u"Deep"}) {
        TestScreen screen;
        ASSERT_TRUE(screen.bind(*properties, id));
        ScreenManager manager({240, 320});
        RenderSurface frame(240, 320);
        manager.push_screen(&screen, false);
        for (int i = 0; i < 5; ++i) {
            manager.tick(0.05);
            manager.compose(frame);
        }
        // Every widget shown and hidden again through its animation.
        for (const auto& child : screen.children()) child->set_visible(false);
        manager.compose(frame);
        for (const auto& child : screen.children()) child->set_visible(true);
        for (int i = 0; i < 20; ++i) {
            manager.tick(0.05);
            manager.compose(frame);
        }
        manager.on_pointer_down(120, 160);
        manager.on_pointer_move(-70000, 90000);
        manager.on_pointer_up(120, 160, false);
        manager.on_key(key_down(key::Enter));
        manager.on_text(u"typed");
        manager.compose(frame);
        // A few screens' worth at most: the frame, caches and animation pictures are cut to it.
        EXPECT_LT(RenderSurface::pixel_count() - before, 16 * 240 * 320) << std::string(id, id + 4);
        EXPECT_LE(Widget::cache_pixels() - cached_before, 8 * 240 * 320);
        manager.remove_screen(&screen);
    }
    EXPECT_EQ(Widget::cache_pixels(), cached_before);
}
