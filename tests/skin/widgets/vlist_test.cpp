#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "skin/button_widget.h"
#include "skin/screen_manager.h"
#include "skin/text_widget.h"
#include "skin/vlist_widget.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
const char* kList = R"(
element Form {
    string id Form
    child {
        string type vlist
        string id list
        point scroll_border_min 0 4
        point scroll_border_max 0 6
    }
}
element Row {
    point design_size 0 20
    child {
        string type color
        string id #vlist_normal
    }
    child {
        string type color
        string id #vlist_pressed
    }
    child {
        string type color
        string id #vlist_selected
    }
    child {
        string type text
        string id #text
    }
}
element ButtonRow {
    point design_size 0 30
    child {
        string type button
        string id inner
    }
}
)";

struct Adapter : VListAdapter {
    Properties* properties = nullptr;
    std::vector<int32_t> activated;
    int32_t button_every = 0;  // every n-th item gets a row with a button (0: none)
    int binds = 0;
    int32_t row_type(int32_t index) override { return button_every && index % button_every == 0 ? 1 : 0; }
    void build_row(Widget& row, int32_t type) override { row.bind(*properties, type == 1 ? u"ButtonRow" : u"Row"); }
    void bind_row(Widget& row, int32_t index) override {
        ++binds;
        std::u16string label;
        for (char c : std::to_string(index)) label += static_cast<char16_t>(c);
        row.set_text(label);
    }
    void on_item_activated(VListWidget&, int32_t index) override { activated.push_back(index); }
};

struct ListFixture {
    std::unique_ptr<Properties> properties = load(kList);
    TestScreen screen;
    VListWidget* list = nullptr;
    Adapter adapter;
    double clock = 100.0;

    explicit ListFixture(int32_t count, int32_t height = 100) {
        screen.bind(*properties, u"Form");
        list = static_cast<VListWidget*>(screen.find_child(u"list"));
        adapter.properties = properties.get();
        list->set_clock([this] { return clock; });
        list->set_adapter(&adapter);
        list->reset(count);
        lay_out(screen, 100, height);
    }
    // One frame of a 60 Hz display.
    void frame(double dt = 1.0 / 60.0) {
        clock += dt;
        list->tick(dt);
        lay_out(screen, 100, screen.size().height);
    }
    std::u16string text_of(int32_t index) const {
        Widget* row = list->row_for(index);
        return row ? static_cast<TextWidget*>(row->find_child(u"#text"))->shown_text() : u"";
    }
    void drag(int32_t from_y, int32_t to_y, int steps) {
        screen.deliver_pointer_down(press(50, from_y));
        for (int i = 1; i <= steps; ++i) {
            clock += 1.0 / 60.0;
            screen.deliver_pointer_move(press(50, from_y + (to_y - from_y) * i / steps));
        }
    }
};
}  // namespace

TEST(VListWidget, RowsBindTheItemsOnScreen) {
    ListFixture f(1000);
    // 100 pixels with 4 above the first row: items 0..4 are on screen.
    EXPECT_EQ(f.text_of(0), u"0");
    EXPECT_EQ(f.text_of(4), u"4");
    EXPECT_EQ(f.list->row_for(5), nullptr);
    EXPECT_EQ(f.list->row_for(0)->position().y, 4);
    EXPECT_EQ(f.list->row_for(1)->position().y, 24);
    EXPECT_LE(f.list->pool_size(), 7u);
    EXPECT_DOUBLE_EQ(f.list->max_scroll(), 4 + 20000 + 6 - 100);
    EXPECT_TRUE(f.list->row_for(0)->find_child(u"#vlist_normal")->is_visible());

    f.list->set_selection(1);
    EXPECT_TRUE(f.list->row_for(1)->find_child(u"#vlist_selected")->is_visible());
    EXPECT_FALSE(f.list->row_for(1)->find_child(u"#vlist_normal")->is_visible());

    // Inserting before shifts the selection and the rows; removing a shown item unbinds its row.
    f.list->insert_item(0);
    EXPECT_EQ(f.list->count(), 1001);
    EXPECT_EQ(f.list->selection(), 2);
    f.frame();
    EXPECT_EQ(f.text_of(0), u"0");  // the new item 0 was bound afresh
    f.list->remove_item(2);
    EXPECT_EQ(f.list->selection(), -1);
    EXPECT_EQ(f.list->count(), 1000);
    f.list->remove_item(5000);
    EXPECT_EQ(f.list->count(), 1000);

    f.list->scroll_to_item(500);
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), 10000);
    EXPECT_EQ(f.text_of(500), u"500");
    f.list->scroll_to_item(99999);
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), f.list->max_scroll());
    f.list->ensure_visible(3);
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), 4 + 60);
    f.list->reset(3);
    EXPECT_EQ(f.list->scroll_position(), 0.0);
    EXPECT_EQ(f.list->row_for(3), nullptr);
}

TEST(VListWidget, KeysMoveTheSelectionAndActivate) {
    ListFixture f(50);
    EXPECT_FALSE(f.screen.deliver_key(key_down(key::Enter)));
    EXPECT_TRUE(f.screen.deliver_key(key_down(key::Down)));
    EXPECT_EQ(f.list->selection(), 0);
    for (int i = 0; i < 6; ++i) f.screen.deliver_key(key_down(key::Down));
    EXPECT_EQ(f.list->selection(), 6);
    // Item 6 ends at 4 + 140: scrolled just enough to show it whole.
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), 144 - 100);
    EXPECT_TRUE(f.screen.deliver_key(key_down(key::Up)));
    EXPECT_TRUE(f.screen.deliver_key(key_down(key::Enter)));
    EXPECT_EQ(f.adapter.activated, (std::vector<int32_t>{5}));
    EXPECT_FALSE(f.screen.deliver_key(key_down(key::Left)));
}

TEST(VListWidget, TapActivatesDragDoesNot) {
    ListFixture f(50);
    f.screen.deliver_pointer_down(press(50, 30));  // item 1
    EXPECT_TRUE(f.list->row_for(1)->find_child(u"#vlist_pressed")->is_visible());
    f.screen.deliver_pointer_up(release(50, 31));
    EXPECT_EQ(f.adapter.activated, (std::vector<int32_t>{1}));
    EXPECT_EQ(f.list->selection(), 1);
    EXPECT_TRUE(f.list->row_for(1)->find_child(u"#vlist_selected")->is_visible());

    // A drag past the release distance lets the row go: no activation.
    f.drag(50, 30, 2);
    EXPECT_FALSE(f.list->row_for(1)->find_child(u"#vlist_pressed")->is_visible());
    f.screen.deliver_pointer_up(release(50, 30));
    EXPECT_EQ(f.adapter.activated.size(), 1u);
}

TEST(VListWidget, ButtonsInsideRowsGetTheirOwnPresses) {
    ListFixture f(20);
    f.adapter.button_every = 2;
    f.list->refresh_all();
    f.frame();
    Widget* row = f.list->row_for(0);
    ASSERT_NE(row, nullptr);
    auto* inner = static_cast<ButtonWidget*>(row->find_child(u"inner"));
    ASSERT_NE(inner, nullptr);
    inner->set_controller(&f.screen);
    f.screen.deliver_pointer_down(press(50, 10));
    EXPECT_TRUE(inner->is_pressed());
    f.screen.deliver_pointer_up(release(50, 10));
    EXPECT_EQ(f.screen.count("click"), 1);
    EXPECT_TRUE(f.adapter.activated.empty());
    // Rows of the other type are 20 high: item 1 starts at 4 + 30.
    EXPECT_EQ(f.list->row_for(1)->position().y, 34);
}

TEST(VListWidget, FlingFrictionOverScrollAndReturn) {
    ListFixture f(1000);
    // Upward at 30 px per 60 Hz frame: 1800 px/s.
    f.drag(90, 30, 2);
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), 60);
    f.screen.deliver_pointer_up(release(50, 30));
    EXPECT_NEAR(f.list->velocity(), 1800.0, 1e-6);

    // One tick: moves by v × dt, then slows by (2 |v| + 9) × dt.
    const double dt = 0.02;
    f.frame(dt);
    EXPECT_NEAR(f.list->scroll_position(), 60 + 1800 * dt, 1e-6);
    EXPECT_NEAR(f.list->velocity(), 1800 - (2 * 1800 + 9) * dt, 1e-6);
    double last = f.list->velocity();
    int frames = 0;
    while (f.list->velocity() > 0 && frames < 1000) {
        f.frame();
        EXPECT_LT(f.list->velocity(), last);
        last = f.list->velocity();
        ++frames;
    }
    EXPECT_EQ(f.list->velocity(), 0.0);
    EXPECT_LT(frames, 300);  // friction ends a fling in a few seconds

    // A fast flick is clamped to 2000 px/s.
    f.drag(95, 5, 1);
    f.screen.deliver_pointer_up(release(50, 5));
    EXPECT_DOUBLE_EQ(f.list->velocity(), 2000.0);
    f.list->set_scroll_position(0);

    // Dragged down past the top: the movement is damped by 1 - 2 × overshoot / height.
    f.screen.deliver_pointer_down(press(50, 10));
    f.screen.deliver_pointer_move(press(50, 30));
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), -20);
    f.screen.deliver_pointer_move(press(50, 50));
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), -20 - 20 * (1 - 2 * 20.0 / 100));
    // Released over-scrolled: no fling, back at 400 px/s.
    f.clock += 0.01;
    f.screen.deliver_pointer_up(release(50, 50));
    EXPECT_EQ(f.list->velocity(), 0.0);
    const double over = -f.list->scroll_position();
    f.frame(0.02);
    EXPECT_NEAR(-f.list->scroll_position(), over - 8.0, 1e-9);
    for (int i = 0; i < 100; ++i) f.frame();
    EXPECT_EQ(f.list->scroll_position(), 0.0);

    // A finger that rests before lifting flings nothing.
    f.drag(90, 40, 3);
    f.clock += 0.5;
    f.screen.deliver_pointer_up(release(50, 40));
    EXPECT_EQ(f.list->velocity(), 0.0);
}

TEST(VListWidget, FlingOutwardIsBrakedPastTheEnd) {
    ListFixture f(10);  // 200 px of rows in 100: max scroll 110
    f.list->set_scroll_position(60);
    f.drag(90, 70, 1);
    f.screen.deliver_pointer_up(release(50, 70));
    ASSERT_GT(f.list->velocity(), 0);
    double peak = 0;
    for (int i = 0; i < 600; ++i) {
        f.frame();
        peak = std::max(peak, f.list->scroll_position() - f.list->max_scroll());
    }
    EXPECT_GT(peak, 0.0);
    EXPECT_LT(peak, 200.0);
    EXPECT_DOUBLE_EQ(f.list->scroll_position(), f.list->max_scroll());
}

TEST(VListWidget, RowsAreReusedOverAThousandRows) {
    ListFixture f(5000);
    f.list->set_scroll_position(7);
    f.frame(0.001);
    const size_t pool = f.list->pool_size();
    const size_t created = f.list->rows_created();
    // Scroll through 1,000 rows in steps of 7 pixels.
    for (int step = 0; step < 20000 / 7; ++step) {
        f.list->set_scroll_position(step * 7.0);
        f.frame(0.001);
    }
    EXPECT_GE(f.list->scroll_position(), 19990 - 7);
    EXPECT_EQ(f.list->rows_created(), created);
    EXPECT_EQ(f.list->pool_size(), pool);
    const int32_t first = static_cast<int32_t>((f.list->scroll_position() - 4) / 20);
    EXPECT_EQ(f.text_of(first), std::u16string(u"") + static_cast<char16_t>(u'0' + first / 100 % 10) +
                                    static_cast<char16_t>(u'0' + first / 10 % 10) +
                                    static_cast<char16_t>(u'0' + first % 10));
    // And a fling over the rest creates none either.
    f.list->set_scroll_position(0);
    for (int flick = 0; flick < 10; ++flick) {
        f.drag(95, 5, 1);
        f.screen.deliver_pointer_up(release(50, 5));
        for (int i = 0; i < 60; ++i) f.frame();
    }
    EXPECT_GT(f.list->scroll_position(), 5000.0);
    EXPECT_EQ(f.list->rows_created(), created);
}

TEST(VListWidget, PressWhileMovingPressesNoRow) {
    ListFixture f(100);
    f.drag(90, 30, 2);
    f.screen.deliver_pointer_up(release(50, 30));
    ASSERT_GT(f.list->velocity(), 0);
    f.screen.deliver_pointer_down(press(50, 50));
    for (int32_t i = 0; i < 100; ++i) {
        if (Widget* row = f.list->row_for(i)) {
            EXPECT_FALSE(row->find_child(u"#vlist_pressed")->is_visible());
        }
    }
    // Held without a pressed row, the list slows five times as fast.
    const double v = f.list->velocity();
    f.frame(0.01);
    EXPECT_NEAR(f.list->velocity(), v - 5 * (2 * v + 9) * 0.01, 1e-6);
    f.screen.deliver_pointer_up(release(50, 50));
    EXPECT_TRUE(f.adapter.activated.empty());
}

namespace {
// The window's own loop: a frame is ticked and drawn only while the stack asks for one.
struct WindowLoop {
    ScreenManager stack;
    RenderSurface surface;
    ListFixture& list;
    WindowLoop(ListFixture& fixture, Size size) : stack(size), surface(size.width, size.height), list(fixture) {
        stack.push_screen(&list.screen, false);
        run(1000);
    }
    // Frames drawn until the stack rests (at most `limit`), 40 ms apart as in a desktop window.
    int run(int limit) {
        int frames = 0;
        while (stack.needs_frame() && frames < limit) {
            list.clock += 0.04;
            stack.tick(0.04);
            if (!stack.needs_frame()) break;
            stack.compose(surface);
            ++frames;
        }
        return frames;
    }
};
}  // namespace

TEST(VListWidget, AFlingKeepsTheWindowDrawingUntilItRestsAndNoLonger) {
    ListFixture f(200, 100);
    WindowLoop window(f, {100, 100});
    ASSERT_FALSE(window.stack.needs_frame());

    // A flick upward at 2000 px/s: it glides about v / 2 pixels, ten screens of this list.
    window.stack.on_pointer_down(50, 95);
    f.clock += 0.02;
    window.stack.on_pointer_move(50, 5);
    f.clock += 0.01;
    window.stack.on_pointer_up(50, 5, false);
    ASSERT_DOUBLE_EQ(f.list->velocity(), 2000.0);
    const int frames = window.run(1000);
    ::testing::Test::RecordProperty("fling_frames", frames);
    EXPECT_GT(frames, 20);
    EXPECT_LT(frames, 1000);
    EXPECT_FALSE(f.list->is_moving());
    EXPECT_GT(f.list->scroll_position(), 90 + 900.0);
    EXPECT_FALSE(window.stack.needs_frame());
    EXPECT_EQ(window.run(1000), 0);  // at rest nothing is drawn

    // Dragged past the top and let go: it springs back within a second on frames of its own.
    f.list->set_scroll_position(0);
    window.run(10);
    window.stack.on_pointer_down(50, 10);
    f.clock += 0.02;
    window.stack.on_pointer_move(50, 60);
    f.clock += 0.02;
    window.stack.on_pointer_up(50, 60, false);
    ASSERT_LT(f.list->scroll_position(), -10.0);
    const int back = window.run(1000);
    EXPECT_LE(back, 25);
    EXPECT_EQ(f.list->scroll_position(), 0.0);
    EXPECT_FALSE(window.stack.needs_frame());

    // A hidden list in motion asks for nothing.
    f.list->set_visible_now(true);
    window.run(1000);
    window.stack.on_pointer_down(50, 90);
    f.clock += 0.02;
    window.stack.on_pointer_move(50, 30);
    f.clock += 0.02;
    window.stack.on_pointer_up(50, 30, false);
    ASSERT_TRUE(f.list->is_moving());
    f.list->set_visible_now(false);
    window.run(5);
    EXPECT_FALSE(window.stack.needs_frame());
}

TEST(VListWidget, AListPulledFarPastItsTopIsBackWithinASecond) {
    ListFixture f(200, 1400);
    WindowLoop window(f, {100, 1400});
    window.stack.on_pointer_down(50, 10);
    for (int y = 110; y <= 1310; y += 100) {
        f.clock += 0.02;
        window.stack.on_pointer_move(50, y);
    }
    f.clock += 0.5;
    window.stack.on_pointer_up(50, 1310, false);
    ASSERT_LT(f.list->scroll_position(), -500.0);  // damped, but far past the top
    EXPECT_LE(window.run(1000), 25);               // 25 frames of 40 ms
    EXPECT_EQ(f.list->scroll_position(), 0.0);
}
