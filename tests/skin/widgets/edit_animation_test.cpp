#include <gtest/gtest.h>

#include "skin/edit_widget.h"
#include "skin/label_edit_widget.h"
#include "skin/text_input_host.h"
#include "skin/visibility_animation.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
const char* kEdits = R"(
element Form {
    string id Form
    child {
        string type edit
        string id line
        string anchor_y MIN_SIDE
        point design_size 0 24
        string halign LEFT
        string text abc
    }
    child {
        string type label_edit
        string id named
        string anchor_y MAX_SIDE
        point design_size 0 60
        child {
            string type edit
            string id #edit
            int wrap 1
            string halign LEFT
        }
        child {
            string type text
            string id #text
            string text Name
        }
    }
}
)";

struct Host : TextInputHost {
    std::vector<Widget*> edited;
    void set_edit_widget(Widget* widget, bool) override { edited.push_back(widget); }
    void move_edit(Widget*) override {}
};
}  // namespace

TEST(EditWidget, FocusCaretAndKeys) {
    auto properties = load(kEdits);
    Host host;
    set_text_input_host(&host);
    {
        TestScreen screen;
        ASSERT_TRUE(screen.bind(*properties, u"Form"));
        auto* line = static_cast<EditWidget*>(screen.try_attach(u"line", &screen));
        lay_out(screen, 200, 100);
        EXPECT_EQ(line->shown_text(), u"abc");

        // Without the focus keys and characters do nothing.
        EXPECT_FALSE(screen.deliver_key(key_down(key::Backspace)));
        EXPECT_FALSE(screen.deliver_char(u'x'));
        EXPECT_EQ(line->shown_text(), u"abc");

        // A press focuses it and puts the caret at the nearest character (here: the end).
        screen.deliver_pointer_down(press(190, 10));
        screen.deliver_pointer_up(release(190, 10));
        EXPECT_TRUE(line->has_focus());
        ASSERT_FALSE(host.edited.empty());
        EXPECT_EQ(host.edited.back(), line);
        EXPECT_EQ(line->caret(), 3u);
        EXPECT_TRUE(screen.deliver_char(u'd'));
        EXPECT_EQ(line->shown_text(), u"abcd");
        EXPECT_EQ(screen.count("text"), 1);
        EXPECT_TRUE(screen.deliver_key(key_down(key::Left)));
        EXPECT_TRUE(screen.deliver_key(key_down(key::Left)));
        EXPECT_TRUE(screen.deliver_key(key_down(key::Backspace)));
        EXPECT_EQ(line->shown_text(), u"acd");
        EXPECT_EQ(line->caret(), 1u);
        // Key releases, Up / Down on one line, Enter on one line and other keys are not the edit's.
        EXPECT_FALSE(screen.deliver_key(key_up(key::Backspace)));
        EXPECT_FALSE(screen.deliver_key(key_down(key::Up)));
        EXPECT_FALSE(screen.deliver_key(key_down(key::Enter)));
        EXPECT_FALSE(screen.deliver_key(key_down(key::Insert)));
        EXPECT_FALSE(screen.deliver_char(u'\t'));
        // Right stops at the end; Backspace at the start does nothing.
        for (int i = 0; i < 10; ++i) screen.deliver_key(key_down(key::Right));
        EXPECT_EQ(line->caret(), 3u);
        line->set_caret(0);
        screen.deliver_key(key_down(key::Backspace));
        EXPECT_EQ(line->shown_text(), u"acd");

        // A text set by code, selected whole, is replaced by typing.
        line->set_text(u"old name");
        line->select_all();
        screen.deliver_char(u'N');
        EXPECT_EQ(line->shown_text(), u"N");

        // A long text scrolls to keep the caret in view instead of growing.
        for (int i = 0; i < 80; ++i) screen.deliver_char(u'w');
        EXPECT_EQ(line->size().width, 200);
        RenderSurface surface(200, 100);
        screen.draw(surface, {0, 0});

        // The wrapping edit of the label_edit: the label shows while it is empty and unfocused.
        auto* named = static_cast<LabelEditWidget*>(screen.find_child(u"named"));
        ASSERT_NE(named->edit(), nullptr);
        EXPECT_TRUE(named->label()->is_visible());
        screen.deliver_pointer_down(press(10, 80));
        screen.deliver_pointer_up(release(10, 80));
        EXPECT_FALSE(line->has_focus());
        EXPECT_TRUE(named->edit()->has_focus());
        EXPECT_FALSE(named->label()->is_visible());
        EXPECT_EQ(host.edited.back(), named->edit());
        for (char16_t c : std::u16string(u"one two")) screen.deliver_char(c);
        EXPECT_TRUE(screen.deliver_key(key_down(key::Enter)));
        for (char16_t c : std::u16string(u"three")) screen.deliver_char(c);
        EXPECT_EQ(named->edit()->shown_text(), u"one two\nthree");
        EXPECT_TRUE(screen.deliver_key(key_down(key::Up)));
        EXPECT_LE(named->edit()->caret(), 7u);
        EXPECT_TRUE(screen.deliver_key(key_down(key::Down)));
        EXPECT_EQ(named->edit()->caret(), 13u);
        lay_out(screen, 200, 100);
        screen.draw(surface, {0, 0});
    }
    // The edited widget went with its screen; the host heard it.
    EXPECT_EQ(edited_widget(), nullptr);
    EXPECT_EQ(host.edited.back(), nullptr);
    set_text_input_host(nullptr);
}

TEST(VisibilityAnimation, EveryKeywordRunsAboutAQuarterSecond) {
    EXPECT_EQ(VisibilityAnimation::create(u"Scale"), nullptr);
    EXPECT_EQ(VisibilityAnimation::create(u""), nullptr);
    EXPECT_DOUBLE_EQ(ease_out(0.0), 0.0);
    EXPECT_DOUBLE_EQ(ease_out(1.0), 1.0);
    EXPECT_GT(ease_out(0.5), 0.8);  // most of the way early: a soft landing

    for (const char16_t* keyword : {u"scale", u"pop", u"right", u"bottom", u"left", u"top", u"flip"}) {
        SCOPED_TRACE(std::string(std::u16string_view(keyword).begin(), std::u16string_view(keyword).end()));
        auto animation = VisibilityAnimation::create(keyword);
        ASSERT_NE(animation, nullptr);
        EXPECT_EQ(animation->keyword(), keyword);
        const double seconds = 1.0 / (animation->speed() * 5.0);
        EXPECT_GE(seconds, 0.15);
        EXPECT_LE(seconds, 0.35);

        // A widget shown through the animation: drawn partly at first, wholly at the end.
        Widget parent;
        Widget& widget = *parent.add_child(std::make_unique<Widget>(&parent));
        widget.set_animation(VisibilityAnimation::create(keyword));
        parent.set_x(0, 40);
        parent.set_y(0, 40);
        widget.set_visible_now(false);
        widget.set_visible(true);
        ASSERT_TRUE(widget.animation()->is_running());
        int ticks = 0;
        while (widget.animation()->is_running() && ticks < 100) {
            parent.tick(1.0 / 60.0);
            ++ticks;
        }
        EXPECT_NEAR(ticks, seconds * 60.0, 1.5);
        EXPECT_DOUBLE_EQ(widget.animation()->progress(), 1.0);
        EXPECT_EQ(widget.animation()->image().size(), (Size{0, 0}));

        // Hidden half-way and shown again: it turns around from where it was.
        widget.set_visible(false);
        parent.tick(0.05);
        const double part = widget.animation()->progress();
        EXPECT_LT(part, 1.0);
        widget.set_visible(true);
        EXPECT_EQ(widget.animation()->direction(), 1);
        EXPECT_DOUBLE_EQ(widget.animation()->progress(), part);
    }
}

TEST(VisibilityAnimation, MotionsDrawTheWidgetPicture) {
    // A 20 × 20 red square over a 40 × 40 black frame, at mid-run, for each motion.
    for (const char16_t* keyword : {u"scale", u"pop", u"right", u"bottom", u"left", u"top", u"flip"}) {
        SCOPED_TRACE(std::string(std::u16string_view(keyword).begin(), std::u16string_view(keyword).end()));
        struct Red : Widget {
            using Widget::Widget;
            void draw(RenderSurface& surface, Point origin) override {
                surface.fill({origin.x, origin.y, origin.x + size().width, origin.y + size().height},
                             Color{255, 0, 0, 255});
            }
        };
        Widget screen;
        Widget& red = *screen.add_child(std::make_unique<Red>(&screen));
        red.set_anchors(AnchorType::Center, AnchorType::Center);
        red.set_design_size({20, 20});
        red.set_animation(VisibilityAnimation::create(keyword));
        screen.set_x(0, 40);
        screen.set_y(0, 40);
        red.set_visible_now(false);
        red.set_visible(true);
        screen.tick(0.07);
        RenderSurface frame(40, 40);
        screen.draw(frame, {0, 0});
        int painted = 0;
        for (int y = 0; y < 40; ++y) {
            for (int x = 0; x < 40; ++x) {
                const Pixel p = frame.bitmap()->at(x, y);
                if (p != 0) ++painted;
                // Nothing is drawn outside the widget's own square, and nothing but its colour.
                if (x < 10 || x >= 30 || y < 10 || y >= 30) {
                    EXPECT_EQ(p, 0) << x << "," << y;
                }
            }
        }
        EXPECT_GT(painted, 0);
        for (int i = 0; i < 30; ++i) screen.tick(1.0 / 60.0);
        frame.fill({0, 0, 40, 40}, Color{0, 0, 0, 255});
        screen.draw(frame, {0, 0});
        EXPECT_EQ(frame.bitmap()->at(10, 10), to_pixel(Color{255, 0, 0, 255}));
        EXPECT_EQ(frame.bitmap()->at(29, 29), to_pixel(Color{255, 0, 0, 255}));
    }
}
