#pragma once
// The base of everything a skin shows: a node of the widget tree bound to a skin element, with the
// common keys, the two-pass layout (measure bottom-up with a cache, place top-down), visibility and
// enabling, drawing through an optional off-screen cache, and lookup of children by id.
//
// Widgets live on the GUI thread. The skin exceptions thrown while loading never leave it.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "skin/anchor.h"
#include "skin/event_sink.h"
#include "skin/geometry.h"
#include "skin/key_event.h"
#include "skin/properties.h"
#include "skin/render_surface.h"

class InputScope;
class VisibilityAnimation;
class WidgetRegistry;

class Widget {
public:
    explicit Widget(Widget* parent = nullptr);
    virtual ~Widget();
    Widget(const Widget&) = delete;
    Widget& operator=(const Widget&) = delete;

    // Logs the subtree, one line per widget indented by depth.
    virtual void dump(int depth) const;
    // Passes a named value down the subtree ("#text" carries set_text).
    virtual void set_property(std::u16string_view name, std::u16string_view value);
    // Appends (taking ownership) and invalidates the layout; returns the child.
    virtual Widget* add_child(std::unique_ptr<Widget> child);
    // Removes and hands back the child (none when it is not a child of this widget).
    virtual std::unique_ptr<Widget> remove_child(Widget* child);
    // Reads the common keys and creates the children of `element` through the global registry.
    virtual void load(const Properties& properties, SkinElement element);
    virtual void set_enabled(bool enabled);
    virtual void on_enabled_changed(bool effective);
    virtual void set_visible(bool visible);
    virtual void on_visibility_changed(bool effective);
    virtual void tick(double elapsed_seconds);
    // True while the widget's look changes with time on its own (a list gliding or springing back):
    // the window keeps drawing frames until every such widget is at rest, and no longer.
    virtual bool is_in_motion() const { return false; }
    // Draws the widget with its top-left corner at `origin` of the surface. The base draws the
    // children in order, each through the widget cache.
    virtual void draw(RenderSurface& surface, Point origin);
    virtual void layout_x();
    virtual void layout_y();
    virtual bool hit_test(Point point) const;
    virtual bool on_pointer_move(const PointerEvent& event);
    virtual bool on_pointer_button(const PointerEvent& event);
    // A key going down or up; true when handled.
    virtual bool on_key(const KeyEvent& event);
    // A typed character, for the widget with the key focus; true when handled.
    virtual bool on_char(char16_t character);

    // Binding to a skin ------------------------------------------------------------------------
    // Rebuilds the widget from the top-level element `id`; false when the skin has none.
    bool bind(const Properties& properties, std::u16string_view id);
    // The first descendant with this id, direct children first at every level.
    Widget* find_child(std::u16string_view id) const;
    // find_child, then the widget's size changes go to `sink`; throws NodeNotFound.
    Widget* attach(std::u16string_view id, EventSink* sink);
    // The same without throwing; the found widget's input events go to `sink` as well.
    Widget* try_attach(std::u16string_view id, EventSink* sink);
    // Stores the text and passes "#text" down the subtree; text widgets also show it themselves.
    virtual void set_text(std::u16string_view text);
    const std::u16string& text() const { return m_text; }

    // Layout -------------------------------------------------------------------------------------
    MeasuredPair measure_width();
    MeasuredPair measure_height();
    void set_x(int32_t x, int32_t width);
    void set_y(int32_t y, int32_t height);
    void invalidate_layout();

    // State ----------------------------------------------------------------------------------------
    const std::u16string& id() const { return m_id; }
    void set_id(std::u16string id) { m_id = std::move(id); }
    Widget* parent() const { return m_parent; }
    const std::vector<std::unique_ptr<Widget>>& children() const { return m_children; }
    Point position() const { return m_position; }
    Size size() const { return m_size; }
    AnchorType anchor_x() const { return m_anchor_x; }
    AnchorType anchor_y() const { return m_anchor_y; }
    Point border_min() const { return m_border_min; }
    Point border_max() const { return m_border_max; }
    Point design_size() const { return m_design_size; }
    int32_t table_ratio() const { return m_table_ratio; }
    void set_anchors(AnchorType x, AnchorType y);
    void set_borders(Point border_min, Point border_max);
    void set_design_size(Point design_size);
    void set_table_ratio(int32_t ratio) { m_table_ratio = ratio; }
    bool is_visible() const { return m_visible; }
    // Shows or hides without the visibility animation (the screen stack runs its own transitions).
    void set_visible_now(bool visible);
    // Draws the widget at `origin` the way its parent would: through its running animation, else
    // (when visible) through its cache or directly; clears needs-redraw.
    void draw_at(RenderSurface& surface, Point origin);
    bool is_effective_visible() const;
    bool is_enabled() const { return m_enabled; }
    bool is_effective_enabled() const;
    bool needs_redraw() const { return m_needs_redraw; }
    bool is_layout_dirty() const { return m_layout_dirty; }
    // Marks the widget and its ancestors so the next frame draws them again.
    void mark_redraw();
    bool is_cached() const { return m_cached; }
    void set_cache(bool cached, int32_t cache_alpha = -1);
    const RenderSurface& cache_surface() const { return m_cache; }
    // The size of an off-screen picture of the widget (its cache, an animation's image): its own
    // size, but never larger than its screen or 4096 pixels a side.
    Size picture_size() const;
    // Pixels held by all widget caches of the process (they stay within a few screens' worth).
    static int64_t cache_pixels();
    const std::u16string& visibility_animation() const { return m_visibility_animation; }
    VisibilityAnimation* animation() const { return m_animation.get(); }
    void set_animation(std::unique_ptr<VisibilityAnimation> animation);
    // A number no other widget of this process has had: safe to compare after the widget is gone.
    uint64_t serial() const { return m_serial; }

    // Input ----------------------------------------------------------------------------------------
    // Screens and list rows collect the interactive widgets below them.
    virtual InputScope* as_input_scope() { return nullptr; }
    InputScope* input_scope() const { return m_input_scope; }
    // Called by a scope that goes away before the widget.
    void forget_input_scope(InputScope* scope);
    EventSink* geometry_sink() const { return m_geometry_sink; }
    EventSink* controller() const { return m_controller; }
    void set_geometry_sink(EventSink* sink) { m_geometry_sink = sink; }
    void set_controller(EventSink* sink) { m_controller = sink; }

protected:
    // Interactive kinds call this from their constructor: the widget joins the nearest scope above
    // it now, or when it is added under one later.
    void register_for_input();
    // Appends a child without invalidating the layout (rows a list creates while laying out).
    Widget* adopt_child(std::unique_ptr<Widget> child);
    // Destroys the children while the derived parts of this widget still exist.
    void destroy_children();
    // The measuring a widget kind does; the base rules by default.
    virtual MeasuredPair compute_width();
    virtual MeasuredPair compute_height();
    // Draws a child at its place under this widget's origin, through the widget cache.
    void draw_child(Widget& child, RenderSurface& surface, Point origin);
    // Base measuring and placing along one axis (0 = x, 1 = y).
    MeasuredPair measure_axis(int axis);
    void place_children(int axis);

private:
    void draw_through_cache(RenderSurface& surface, Point origin);
    void resize_cache(Size size);
    void apply_visible(bool visible);
    void join_pending_scopes();
    Widget* find_descendant(std::u16string_view id) const;

    Widget* m_parent = nullptr;
    std::vector<std::unique_ptr<Widget>> m_children;
    std::u16string m_id;
    std::u16string m_text;

    AnchorType m_anchor_x = AnchorType::BothSide;
    AnchorType m_anchor_y = AnchorType::BothSide;
    Point m_border_min;
    Point m_border_max;
    Point m_design_size;
    int32_t m_table_ratio = 0;
    Point m_position;
    Size m_size;
    MeasuredPair m_measured_width;
    MeasuredPair m_measured_height;

    bool m_layout_dirty = true;
    bool m_needs_redraw = true;
    bool m_visible = true;
    bool m_enabled = true;

    bool m_cached = false;
    const Blitter* m_cache_blitter = nullptr;
    RenderSurface m_cache;
    std::u16string m_visibility_animation;
    std::unique_ptr<VisibilityAnimation> m_animation;
    uint64_t m_serial;
    bool m_wants_input = false;
    InputScope* m_input_scope = nullptr;

    EventSink* m_geometry_sink = nullptr;
    EventSink* m_controller = nullptr;
};
