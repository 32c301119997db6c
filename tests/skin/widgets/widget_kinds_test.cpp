#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "skin/button_widget.h"
#include "skin/checkbox_widget.h"
#include "skin/label_edit_widget.h"
#include "skin/progress_widget.h"
#include "skin/simple_widgets.h"
#include "skin/skin_exceptions.h"
#include "skin/text_widget.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
const char* kButtons = R"(
element Form {
    string id Form
    child {
        string type button
        string id btn
        string anchor_x MIN_SIDE
        string anchor_y MIN_SIDE
        point border_min 10 10
        point design_size 40 20
        child {
            string type color
            string id #normal
        }
        child {
            string type color
            string id #pressed
        }
        child {
            string type color
            string id #disabled
        }
    }
    child {
        string type button
        string id soft
        string bind_key SOFT_LEFT
        point design_size 0 0
        string anchor_x MIN_SIDE_NO_SIZE
        string anchor_y MIN_SIDE_NO_SIZE
    }
    child {
        string type button
        string id lower
        string bind_key soft_left
    }
}
)";

bool only_visible(ButtonWidget& button, const char16_t* look) {
    for (const char16_t* id : {u"#normal", u"#pressed", u"#disabled"}) {
        if (button.find_child(id)->is_visible() != (std::u16string_view(id) == look)) return false;
    }
    return true;
}
}  // namespace

TEST(ButtonWidget, PressReleaseDisableAndClicks) {
    auto properties = load(kButtons);
    TestScreen screen;
    ASSERT_TRUE(screen.bind(*properties, u"Form"));
    auto* button = static_cast<ButtonWidget*>(screen.try_attach(u"btn", &screen));
    ASSERT_NE(button, nullptr);
    lay_out(screen, 100, 100);
    EXPECT_TRUE(only_visible(*button, u"#normal"));

    // Pressed, dragged, released outside: two press changes, no click.
    ASSERT_TRUE(screen.deliver_pointer_down(press(20, 15)));
    EXPECT_TRUE(button->is_pressed());
    EXPECT_TRUE(only_visible(*button, u"#pressed"));
    ASSERT_EQ(screen.count("drag"), 1);
    EXPECT_EQ(screen.events[0].delta, (Point{0, 0}));
    screen.deliver_pointer_move(press(25, 18));
    EXPECT_EQ(screen.events.back().delta, (Point{5, 3}));
    screen.deliver_pointer_up(release(90, 90));
    EXPECT_EQ(screen.count("press"), 2);
    EXPECT_EQ(screen.count("click"), 0);
    EXPECT_TRUE(only_visible(*button, u"#normal"));

    // Released inside: a click.
    screen.events.clear();
    screen.deliver_pointer_down(press(20, 15));
    screen.deliver_pointer_up(release(21, 16));
    EXPECT_EQ(screen.count("click"), 1);

    // Disabled while pressed: the disabled look, and the release clicks nothing.
    screen.events.clear();
    screen.deliver_pointer_down(press(20, 15));
    button->set_enabled(false);
    EXPECT_TRUE(only_visible(*button, u"#disabled"));
    screen.deliver_pointer_up(release(20, 15));
    EXPECT_FALSE(button->is_pressed());
    EXPECT_EQ(screen.count("click"), 0);
    ASSERT_EQ(screen.count("press"), 2);
    EXPECT_TRUE(screen.events.back().event.cancel);
    // Disabled by its parent: still the disabled look, and a press does not reach it.
    button->set_enabled(true);
    EXPECT_TRUE(only_visible(*button, u"#normal"));
    screen.set_enabled(false);
    EXPECT_TRUE(only_visible(*button, u"#disabled"));
    EXPECT_FALSE(screen.deliver_pointer_down(press(20, 15)));
    screen.deliver_pointer_up(release(20, 15));
    screen.set_enabled(true);

    // Pressed by code.
    screen.events.clear();
    button->set_pressed(true);
    button->set_pressed(false);
    EXPECT_EQ(screen.count("click"), 1);
}

TEST(ButtonWidget, BoundKeysClickWithoutPointer) {
    auto properties = load(kButtons);
    TestScreen screen;
    ASSERT_TRUE(screen.bind(*properties, u"Form"));
    auto* soft = static_cast<ButtonWidget*>(screen.try_attach(u"soft", &screen));
    auto* lower = static_cast<ButtonWidget*>(screen.try_attach(u"lower", &screen));
    lay_out(screen, 100, 100);
    EXPECT_EQ(soft->bound_key(), key::SoftLeft);
    EXPECT_EQ(lower->bound_key(), key::None);

    EXPECT_TRUE(screen.deliver_key(key_down(key::SoftLeft)));
    EXPECT_TRUE(soft->is_pressed());
    EXPECT_TRUE(screen.deliver_key(KeyEvent{key::SoftLeft, true, false}));  // auto-repeat
    EXPECT_TRUE(screen.deliver_key(key_up(key::SoftLeft)));
    ASSERT_EQ(screen.count("click"), 1);
    EXPECT_EQ(screen.events.back().widget, soft);
    // Other keys are not the button's; a release of a key that was not down is nobody's.
    EXPECT_FALSE(screen.deliver_key(key_down(key::SoftRight)));
    EXPECT_FALSE(screen.deliver_key(key_up(key::SoftLeft)));

    // A key held while its button is hidden is still let go.
    screen.deliver_key(key_down(key::SoftLeft));
    soft->set_visible(false);
    EXPECT_TRUE(screen.deliver_key(key_up(key::SoftLeft)));
    EXPECT_FALSE(soft->is_pressed());
    EXPECT_EQ(screen.count("click"), 1);
}

namespace {
const char* kStates = R"(
element Check {
    string id Check
    child {
        string type checkbox
        string id box
        int states 3
        string text Hello
        child {
            string type button
            string id #state_0
            child {
                string type text
                string id #text
            }
        }
        child {
            string type button
            string id #state_1
            child {
                string type text
                string id #text
            }
        }
        child {
            string type button
            string id #state_2
        }
    }
}
element Broken {
    child {
        string type checkbox
        string id half
        int states 3
        child {
            string type node
            string id #state_0
        }
        child {
            string type node
            string id #state_1
        }
    }
}
element Absurd {
    child {
        string type checkbox
        string id many
        int states 2000000000
        child {
            string type node
            string id #state_0
        }
    }
}
element Zero {
    child {
        string type checkbox
        int states -5
        child {
            string type node
            string id #state_0
        }
    }
}
)";
}  // namespace

TEST(CheckboxWidget, StatesCycleOrGoToTheController) {
    auto properties = load(kStates);
    TestScreen screen;
    ASSERT_TRUE(screen.bind(*properties, u"Check"));
    auto* box = static_cast<CheckboxWidget*>(screen.find_child(u"box"));
    ASSERT_NE(box, nullptr);
    lay_out(screen, 50, 50);
    ASSERT_EQ(box->state_count(), 3);
    auto* first_text = static_cast<TextWidget*>(box->find_child(u"#state_0")->find_child(u"#text"));
    EXPECT_EQ(first_text->shown_text(), u"Hello");

    std::vector<int32_t> seen;
    for (int i = 0; i < 4; ++i) {
        screen.deliver_pointer_down(press(5, 5));
        screen.deliver_pointer_up(release(5, 5));
        seen.push_back(box->state());
        for (int s = 0; s < 3; ++s) {
            EXPECT_EQ(box->find_child(s == 0   ? u"#state_0"
                                      : s == 1 ? u"#state_1"
                                               : u"#state_2")
                          ->is_visible(),
                      s == box->state());
        }
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{1, 2, 0, 1}));
    auto* second_text = static_cast<TextWidget*>(box->find_child(u"#state_1")->find_child(u"#text"));
    EXPECT_EQ(second_text->shown_text(), u"Hello");

    // With a controller the click is the screen's, and the state stays.
    screen.try_attach(u"box", &screen);
    screen.deliver_pointer_down(press(5, 5));
    screen.deliver_pointer_up(release(5, 5));
    EXPECT_EQ(box->state(), 1);
    EXPECT_EQ(screen.count("click"), 1);
    EXPECT_EQ(screen.events.back().widget, box);

    Screen broken;
    try {
        broken.bind(*properties, u"Broken");
        FAIL() << "no exception";
    } catch (const NodeNotFound& e) {
        EXPECT_EQ(e.parent_id(), u"half");
        EXPECT_EQ(e.child_id(), u"#state_2");
    }
    Screen absurd;
    EXPECT_THROW(absurd.bind(*properties, u"Absurd"), NodeNotFound);
    Screen zero;
    ASSERT_TRUE(zero.bind(*properties, u"Zero"));
    EXPECT_EQ(static_cast<CheckboxWidget*>(zero.children()[0].get())->state_count(), 1);
}

namespace {
const char* kProgress = R"(
element Bar {
    child {
        string type progress
        string id bar
        child {
            string type color
            string id #line
            string anchor_x MIN_SIDE
            point border_min 2 3
            point border_max 2 3
        }
    }
}
element Labels {
    child {
        string type label_edit
        string id named
        child {
            string type edit
            string id #edit
        }
        child {
            string type text
            string id #text
            string text Name
        }
    }
    child {
        string type label_edit
        string id broken
        child {
            string type text
            string id #text
        }
    }
}
)";
}  // namespace

TEST(ProgressWidget, LineLengthFollowsTheValue) {
    auto properties = load(kProgress);
    Screen screen;
    ASSERT_TRUE(screen.bind(*properties, u"Bar"));
    auto* bar = static_cast<ProgressWidget*>(screen.find_child(u"bar"));
    lay_out(screen, 100, 20);
    Widget* line = bar->line();
    ASSERT_NE(line, nullptr);
    bar->set_value(0.5);
    EXPECT_EQ(line->size().width, 48);
    EXPECT_EQ(line->position().x, 2);
    EXPECT_EQ(line->size().height, 14);  // BOTH_SIDE across
    bar->set_value(0.005);
    EXPECT_EQ(line->size().width, 0);
    bar->set_value(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(bar->value(), 0.0);
    bar->set_value(7.0);
    EXPECT_EQ(line->size().width, 96);
    // A new size places the line again.
    lay_out(screen, 50, 20);
    EXPECT_EQ(line->size().width, 46);
}

TEST(LabelEditWidget, RequiresBothChildren) {
    auto properties = load(kProgress);
    Screen screen;
    try {
        screen.bind(*properties, u"Labels");
        FAIL() << "no exception";
    } catch (const NodeNotFound& e) {
        EXPECT_EQ(e.parent_id(), u"broken");
        EXPECT_EQ(e.child_id(), u"#edit");
    }
}

namespace {
const char* kTexts = R"(
element Texts {
    string id Texts
    child {
        string type text
        string id right
        string halign right
        string text Hi
    }
    child {
        string type node
        child {
            string type node
            child {
                string type text
                string id #text
            }
        }
        child {
            string type oldtext
            string id #text
        }
    }
    child {
        string type text
        string id #text
    }
    child {
        string type text
        string id sides
        point border_max 170 0
        child {
            string type node
            string id #left
            point design_size 40 10
        }
        child {
            string type node
            string id #right
            point design_size 20 10
        }
    }
    child {
        string type text
        string id grow
        int grow 1
        string anchor_x MIN_SIDE
        string anchor_y MIN_SIDE
        string text "Some longer text"
    }
}
)";
}  // namespace

TEST(TextWidget, KeysRunsSidesAndSetTextAtAnyDepth) {
    auto properties = load(kTexts);
    Screen screen;
    ASSERT_TRUE(screen.bind(*properties, u"Texts"));
    lay_out(screen, 200, 100);
    auto* right = static_cast<TextWidget*>(screen.find_child(u"right"));
    EXPECT_EQ(right->halign(), HAlign::Center);

    screen.set_text(u"everywhere");
    int changed = 0;
    std::function<void(Widget&)> visit = [&](Widget& widget) {
        if (auto* text = dynamic_cast<TextWidget*>(&widget); text && text->id() == u"#text") {
            EXPECT_EQ(text->shown_text(), u"everywhere");
            ++changed;
        }
        for (const auto& child : widget.children()) visit(*child);
    };
    visit(screen);
    EXPECT_EQ(changed, 3);

    // Sides wider than the widget share it in proportion: 30 × 40 / 60 = 20 and 10.
    auto* sides = screen.find_child(u"sides");
    EXPECT_EQ(sides->size().width, 30);
    EXPECT_EQ(sides->find_child(u"#left")->size().width, 20);
    EXPECT_EQ(sides->find_child(u"#right")->size().width, 10);
    EXPECT_EQ(sides->find_child(u"#right")->position().x, 20);

    // A highlighted match is drawn in three runs.
    auto* grow = static_cast<TextWidget*>(screen.find_child(u"grow"));
    const int32_t text_width = grow->font().text_width(u"Some longer text");
    EXPECT_EQ(grow->size().width, text_width);
    EXPECT_EQ(grow->size().height, grow->font().line_height());
    grow->set_highlight(5, 6, Color{255, 0, 0, 255});
    auto lines = grow->shown_lines();
    ASSERT_EQ(lines.size(), 1u);
    ASSERT_EQ(lines[0].size(), 3u);
    EXPECT_EQ(lines[0][0].text, u"Some ");
    EXPECT_EQ(lines[0][1].text, u"longer");
    EXPECT_EQ(lines[0][1].color, (Color{255, 0, 0, 255}));
    EXPECT_EQ(lines[0][2].text, u" text");
    // A highlight past the end is cut; a new text clears it.
    grow->set_highlight(10, 1000, Color{0, 0, 255, 255});
    EXPECT_EQ(grow->shown_lines()[0].back().text, u"r text");
    grow->set_text(u"Other");
    EXPECT_EQ(grow->shown_lines()[0].size(), 1u);
}
