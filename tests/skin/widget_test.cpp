#include "skin/widget.h"

#include <gtest/gtest.h>

#include "skin/skin_exceptions.h"
#include "skin/table_widget.h"
#include "skin/widget_registry.h"
#include "tests/skin/skin_test_support.h"

namespace {
const DisplayInfo kDisplay{240, 320, 96, 0};

void register_plain_types() {
    WidgetRegistry& registry = WidgetRegistry::global();
    for (const char16_t* keyword : {u"node", u"text", u"button"}) {
        if (!registry.contains(keyword)) register_widget<Widget>(registry, keyword);
    }
    if (!registry.contains(u"htable")) register_widget<HTableWidget>(registry, u"htable");
    if (!registry.contains(u"vtable")) register_widget<VTableWidget>(registry, u"vtable");
}

const char* kSource = R"(
element FormMain {
    string id FormMain
    point design_size 200 50
    int cache 1
    int cache_alpha 100
    string visibility_animation pop
    child {
        string type node
        string id outer
        string anchor_x CENTER
        string anchor_y center
        child {
            string type text
            string id deep
        }
    }
    child {
        string type button
        string id deep
        int table_ratio 3
        point border_min 1 2
        point border_max 3 4
    }
}
element FormBroken {
    child {
        string id orphan
    }
}
)";

struct Sink : EventSink {
    int widths = 0;
    int heights = 0;
    void on_width_changed(Widget*, int32_t) override { ++widths; }
    void on_height_changed(Widget*, int32_t) override { ++heights; }
};

Widget* add(Widget& parent, AnchorType anchor, int32_t border_min, int32_t border_max, Point design) {
    auto child = std::make_unique<Widget>(&parent);
    child->set_anchors(anchor, anchor);
    child->set_borders({border_min, border_min}, {border_max, border_max});
    child->set_design_size(design);
    return parent.add_child(std::move(child));
}

void lay_out(Widget& root, int32_t width, int32_t height) {
    root.set_x(0, width);
    root.set_y(0, height);
}
}  // namespace

TEST(WidgetRegistry, RegisteringTwiceAndUnknownKeywords) {
    WidgetRegistry registry;
    register_widget<Widget>(registry, u"text");
    try {
        register_widget<Widget>(registry, u"text");
        FAIL() << "no exception";
    } catch (const NodeAlreadyRegistered& e) {
        EXPECT_EQ(e.keyword(), u"text");
    }
    Widget parent;
    try {
        registry.create(u"", &parent);
        FAIL() << "no exception";
    } catch (const NodeNotRegistered& e) {
        EXPECT_EQ(e.keyword(), u"");
    }
    Widget* child = registry.create(u"text", &parent);
    ASSERT_EQ(parent.children().size(), 1u);
    EXPECT_EQ(parent.children()[0].get(), child);
    EXPECT_EQ(child->parent(), &parent);
}

TEST(Widget, BindLoadsCommonKeysAndChildren) {
    register_plain_types();
    Properties properties;
    ASSERT_TRUE(properties.load_skin_bytes(skin_test::compile(kSource), u"/x.skin", kDisplay));
    Widget screen;
    EXPECT_FALSE(screen.bind(properties, u"FormNone"));
    ASSERT_TRUE(screen.bind(properties, u"FormMain"));
    EXPECT_EQ(screen.id(), u"FormMain");
    EXPECT_EQ(screen.design_size(), (Point{200, 50}));
    EXPECT_TRUE(screen.is_cached());
    EXPECT_EQ(screen.visibility_animation(), u"pop");
    ASSERT_EQ(screen.children().size(), 2u);
    Widget* outer = screen.children()[0].get();
    EXPECT_EQ(outer->anchor_x(), AnchorType::Center);
    EXPECT_EQ(outer->anchor_y(), AnchorType::BothSide);  // "center" is not a keyword
    Widget* direct = screen.children()[1].get();
    EXPECT_EQ(direct->table_ratio(), 3);
    EXPECT_EQ(direct->border_min(), (Point{1, 2}));
    EXPECT_EQ(direct->border_max(), (Point{3, 4}));
    EXPECT_EQ(direct->anchor_x(), AnchorType::BothSide);

    // The direct child wins over the deeper one that comes first depth-first.
    EXPECT_EQ(screen.find_child(u"deep"), direct);
    EXPECT_EQ(outer->find_child(u"deep"), outer->children()[0].get());
    EXPECT_EQ(screen.find_child(u"nothing"), nullptr);

    Sink sink;
    EXPECT_EQ(screen.attach(u"outer", &sink), outer);
    EXPECT_EQ(outer->geometry_sink(), &sink);
    EXPECT_EQ(outer->controller(), nullptr);
    EXPECT_EQ(screen.try_attach(u"deep", &sink)->controller(), &sink);
    EXPECT_EQ(screen.try_attach(u"nothing", &sink), nullptr);
    try {
        screen.attach(u"nothing", &sink);
        FAIL() << "no exception";
    } catch (const NodeNotFound& e) {
        EXPECT_EQ(e.parent_id(), u"FormMain");
        EXPECT_EQ(e.child_id(), u"nothing");
    }
    lay_out(screen, 240, 320);
    EXPECT_EQ(sink.widths, 2);  // "outer" and the attached "deep"
    EXPECT_EQ(sink.heights, 2);

    // Binding again replaces the children.
    ASSERT_TRUE(screen.bind(properties, u"FormMain"));
    EXPECT_EQ(screen.children().size(), 2u);
    Widget broken;
    try {
        broken.bind(properties, u"FormBroken");
        FAIL() << "no exception";
    } catch (const NodeNotRegistered& e) {
        EXPECT_EQ(e.keyword(), u"");
    }
}

TEST(Widget, SetTextReachesEveryDescendant) {
    struct Recorder : Widget {
        using Widget::Widget;
        std::u16string got;
        void set_property(std::u16string_view name, std::u16string_view value) override {
            if (name == u"#text") got = value;
            Widget::set_property(name, value);
        }
    };
    Widget root;
    auto* a = static_cast<Recorder*>(root.add_child(std::make_unique<Recorder>(&root)));
    auto* b = static_cast<Recorder*>(a->add_child(std::make_unique<Recorder>(a)));
    root.set_text(u"hello");
    EXPECT_EQ(a->got, u"hello");
    EXPECT_EQ(b->got, u"hello");
    b->got.clear();
    root.set_text(u"hello");  // unchanged: nothing passed down
    EXPECT_EQ(b->got, u"");
}

TEST(Layout, AnchorsPlaceChildren) {
    Widget root;
    Widget* both = add(root, AnchorType::BothSide, 10, 10, {500, 500});
    Widget* min_side = add(root, AnchorType::MinSide, 10, 0, {120, 120});
    Widget* no_size = add(root, AnchorType::MinSideNoSize, 10, 0, {120, 120});
    Widget* max_side = add(root, AnchorType::MaxSide, 0, 5, {30, 30});
    Widget* center = add(root, AnchorType::Center, 0, 0, {31, 31});
    lay_out(root, 100, 100);
    EXPECT_EQ(both->position().x, 10);
    EXPECT_EQ(both->size().width, 80);
    EXPECT_EQ(min_side->size().width, 90);
    EXPECT_EQ(no_size->size().width, 120);
    EXPECT_EQ(max_side->position().x, 65);
    EXPECT_EQ(max_side->size().width, 30);
    EXPECT_EQ(center->position().x, 35);
    EXPECT_EQ(center->position().y, 35);

    // MAX_SIDE in a parent too short for it sits at 0.
    Widget small;
    Widget* pinned = add(small, AnchorType::MaxSide, 0, 5, {30, 30});
    lay_out(small, 20, 20);
    EXPECT_EQ(pinned->position().x, 0);
    EXPECT_EQ(pinned->size().width, 15);

    // Positions are absolute: a nested child adds its parent's position.
    Widget outer;
    Widget* middle = add(outer, AnchorType::BothSide, 7, 7, {});
    Widget* inner = add(*middle, AnchorType::MinSide, 3, 0, {5, 5});
    lay_out(outer, 50, 50);
    EXPECT_EQ(inner->position(), (Point{10, 10}));
}

TEST(Layout, MeasuringUsesDesignSizeAndChildren) {
    Widget alone;
    alone.set_design_size({200, 50});
    EXPECT_EQ(alone.measure_width(), (MeasuredPair{200, 200}));
    EXPECT_EQ(alone.measure_height(), (MeasuredPair{50, 50}));

    Widget parent;
    add(parent, AnchorType::MinSide, 10, 99, {120, 120});
    add(parent, AnchorType::MinSideNoSize, 0, 0, {400, 400});
    EXPECT_EQ(parent.measure_width(), (MeasuredPair{130, 130}));

    // The cache holds until the layout is invalidated.
    Widget* late = add(parent, AnchorType::BothSide, 5, 5, {300, 10});
    EXPECT_EQ(parent.measure_width().preferred, 310);
    late->set_design_size({10, 10});
    EXPECT_EQ(parent.measure_width().preferred, 130);
}

TEST(Layout, SetXStopsWhereNothingChanged) {
    Widget root;
    Widget* child = add(root, AnchorType::BothSide, 0, 0, {});
    Sink sink;
    child->set_geometry_sink(&sink);
    lay_out(root, 100, 100);
    EXPECT_EQ(sink.widths, 1);
    EXPECT_FALSE(child->is_layout_dirty());
    lay_out(root, 100, 100);
    EXPECT_EQ(sink.widths, 1);
    lay_out(root, 120, 100);
    EXPECT_EQ(sink.widths, 2);
    EXPECT_EQ(child->size().width, 120);
}

namespace {
struct Measured : Widget {
    Measured(Widget* parent, MeasuredPair pair) : Widget(parent), m_pair(pair) {}
    MeasuredPair compute_width() override { return m_pair; }
    MeasuredPair compute_height() override { return m_pair; }
    MeasuredPair m_pair;
};

std::pair<Widget*, Widget*> two_in_table(TableWidget& table, MeasuredPair a, MeasuredPair b, int32_t ra, int32_t rb) {
    auto* first = table.add_child(std::make_unique<Measured>(&table, a));
    auto* second = table.add_child(std::make_unique<Measured>(&table, b));
    first->set_table_ratio(ra);
    second->set_table_ratio(rb);
    return {first, second};
}
}  // namespace

TEST(Layout, TablesShareTheirLength) {
    {
        HTableWidget table;
        auto [a, b] = two_in_table(table, {30, 10}, {30, 10}, 1, 1);
        lay_out(table, 100, 20);
        EXPECT_EQ(a->size().width, 50);
        EXPECT_EQ(a->position().x, 0);
        EXPECT_EQ(b->size().width, 50);
        EXPECT_EQ(b->position().x, 50);
        EXPECT_EQ(table.measure_width(), (MeasuredPair{60, 20}));
    }
    {
        HTableWidget table;
        auto [a, b] = two_in_table(table, {30, 10}, {30, 10}, 1, 0);
        lay_out(table, 100, 20);
        EXPECT_EQ(a->size().width, 70);
        EXPECT_EQ(b->size().width, 30);
        EXPECT_EQ(b->position().x, 70);
    }
    {
        HTableWidget table;
        auto [a, b] = two_in_table(table, {30, 10}, {30, 10}, 0, 0);
        lay_out(table, 15, 20);
        EXPECT_EQ(a->size().width, 7);
        EXPECT_EQ(b->size().width, 8);
        EXPECT_EQ(b->position().x, 7);
    }
    {
        // Growth a child cannot take goes to the others; hidden children take nothing.
        VTableWidget table;
        auto [a, b] = two_in_table(table, {12, 10}, {60, 10}, 0, 0);
        auto* hidden = table.add_child(std::make_unique<Measured>(&table, MeasuredPair{50, 50}));
        hidden->set_visible(false);
        lay_out(table, 20, 50);
        EXPECT_EQ(a->size().height, 12);
        EXPECT_EQ(b->size().height, 38);
        EXPECT_EQ(b->position().y, 12);
        EXPECT_EQ(hidden->size().height, 0);
        // The cross axis follows the base rules.
        EXPECT_EQ(a->size().width, 20);
    }
    {
        HTableWidget table;
        auto [a, b] = two_in_table(table, {30, 10}, {30, 10}, 1, 1);
        a->set_borders({60, 0}, {60, 0});
        lay_out(table, 100, 20);
        EXPECT_EQ(a->size().width, 0);
        EXPECT_EQ(b->size().width, 0);
        EXPECT_EQ(b->position().x, 0);
    }
}
