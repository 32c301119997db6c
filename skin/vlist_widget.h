#pragma once
// A vertically scrolling, virtual list ("vlist"). The screen supplies the item count and an
// adapter; the list keeps a small pool of row widgets, binds each row on screen to an item index
// through the adapter and reuses rows that scroll out, so its cost per frame does not depend on
// the number of items.
//
// Keys: "scroll_border_min" / "scroll_border_max" (their y values: space above the first and below
// the last row), "locked" (the content does not follow drags), "grow" (the list measures as high as
// its content). Rows may have the looks "#vlist_normal", "#vlist_pressed", "#vlist_selected".
//
// Scrolling is kinetic: the content follows the pointer (damped past either end), a release flings
// it with the drag's velocity, friction slows it, and a list left past an end returns at 400 px/s.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "skin/input_scope.h"
#include "skin/widget.h"

class VListWidget;

class VListAdapter {
public:
    virtual ~VListAdapter() = default;
    // Items may need different rows (a menu's disabled item): rows are only reused within a type.
    virtual int32_t row_type(int32_t /*index*/) { return 0; }
    // Fills a new, empty row for rows of `type`, typically row.bind(properties, u"Record").
    virtual void build_row(Widget& row, int32_t type) = 0;
    // Shows item `index` in a row built for its type.
    virtual void bind_row(Widget& row, int32_t index) = 0;
    // The item was tapped (a row without interactive widgets of its own).
    virtual void on_item_activated(VListWidget& /*list*/, int32_t /*index*/) {}
};

// One row of the pool: the input scope of the buttons inside it.
class VListRow : public Widget, public InputScope {
public:
    explicit VListRow(Widget* parent) : Widget(parent) {}
    ~VListRow() override { destroy_children(); }
    InputScope* as_input_scope() override { return this; }

    int32_t index() const { return m_index; }
    int32_t type() const { return m_type; }
    bool is_pressed() const { return m_pressed; }

private:
    friend class VListWidget;
    void find_looks();
    void show_look(bool selected);

    int32_t m_index = -1;
    int32_t m_type = 0;
    bool m_pressed = false;
    Widget* m_normal = nullptr;
    Widget* m_pressed_look = nullptr;
    Widget* m_selected = nullptr;
};

class VListWidget : public Widget {
public:
    explicit VListWidget(Widget* parent = nullptr);
    ~VListWidget() override;

    void load(const Properties& properties, SkinElement element) override;
    void dump(int depth) const override;
    void tick(double elapsed_seconds) override;
    bool is_in_motion() const override { return is_moving(); }
    void draw(RenderSurface& surface, Point origin) override;
    void layout_x() override;
    void layout_y() override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_pointer_move(const PointerEvent& event) override;
    // Up and Down move the selection (and scroll it into view), Enter activates the selected item.
    bool on_key(const KeyEvent& event) override;

    // Content ---------------------------------------------------------------------------------
    // Not owned. Resets the list with the current count.
    void set_adapter(VListAdapter* adapter);
    VListAdapter* adapter() const { return m_adapter; }
    // No selection, nothing pressed, scrolled to the top.
    void reset(int32_t count);
    int32_t count() const { return m_count; }
    void insert_item(int32_t index);
    void remove_item(int32_t index);
    // Shows the item again when it is on screen.
    void refresh_item(int32_t index);
    void refresh_all();
    int32_t selection() const { return m_selection; }
    void set_selection(int32_t index);
    // Scrolls item `index` (clamped to 0..count) to the top, as far as the content allows.
    void scroll_to_item(int32_t index);
    // Scrolls as little as needed to show the whole item.
    void ensure_visible(int32_t index);
    // The row showing an item, none when it is not on screen.
    Widget* row_for(int32_t index) const;

    // Scrolling ---------------------------------------------------------------------------------
    // Pixels scrolled from the top; below 0 or above max_scroll() while over-scrolled.
    double scroll_position() const { return m_scroll; }
    void set_scroll_position(double position);
    double max_scroll();
    // Pixels per second, positive when the content moves up (toward later items).
    double velocity() const { return m_velocity; }
    bool is_locked() const { return m_locked; }
    bool is_moving() const { return m_velocity != 0.0 || (!m_held && overshoot() != 0.0); }
    // The time source of the drag velocity estimate (seconds); tests give a fixed one.
    void set_clock(std::function<double()> clock) { m_clock = std::move(clock); }

    // Rows in the pool and rows ever created (a fling over many items creates no more).
    size_t pool_size() const { return m_rows.size(); }
    size_t rows_created() const { return m_rows_created; }

    // The most rows a list keeps, whatever the skin says about their heights.
    static constexpr size_t kMaxRows = 128;
    // How far a press may move before the pressed row lets go and the list is dragged.
    static constexpr int32_t kReleaseDistance = 8;

protected:
    MeasuredPair compute_height() override;

private:
    struct Sample {
        double time;
        int32_t y;
    };
    void ensure_offsets();
    int32_t type_height(int32_t type);
    int64_t content_height();
    double overshoot() const;
    int32_t view_height() const;
    void place_rows();
    VListRow* acquire_row(int32_t type);
    void unbind(VListRow& row);
    VListRow* row_at(Point point) const;
    void release_pressed_row();
    void update_looks();
    double now() const;
    double estimate_velocity(double at, int32_t y) const;
    void step(double dt);
    void step_motion(double dt);

    VListAdapter* m_adapter = nullptr;
    int32_t m_count = 0;
    int32_t m_selection = -1;
    int32_t m_border_top = 0;
    int32_t m_border_bottom = 0;
    bool m_locked = false;
    bool m_grow = false;

    std::vector<std::unique_ptr<VListRow>> m_rows;
    size_t m_rows_created = 0;
    VListRow* m_pressed_row = nullptr;
    std::vector<int32_t> m_types;
    std::vector<int64_t> m_offsets;
    bool m_offsets_dirty = true;
    std::map<int32_t, int32_t> m_type_heights;

    double m_scroll = 0.0;
    double m_velocity = 0.0;
    bool m_held = false;
    int32_t m_last_y = 0;
    int64_t m_drag_distance = 0;
    std::deque<Sample> m_samples;
    std::function<double()> m_clock;
};
