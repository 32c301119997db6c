#include "skin/widget.h"

#include <algorithm>
#include <new>

#include "os/log.h"
#include "skin/input_scope.h"
#include "skin/skin_exceptions.h"
#include "skin/visibility_animation.h"
#include "skin/widget_registry.h"

namespace {
// Pixels held by all widget caches of the process. Caches beyond a few screens' worth are not
// made: those widgets draw directly (a skin with a thousand cached panels must not take a
// thousand screens of memory).
int64_t g_cache_pixels = 0;
constexpr int64_t kCacheScreens = 8;

int64_t area(Size size) { return static_cast<int64_t>(size.width) * size.height; }

uint64_t next_serial() {
    static uint64_t counter = 0;
    return ++counter;
}
}  // namespace

Widget::Widget(Widget* parent) : m_parent(parent), m_serial(next_serial()) {}

Widget::~Widget() {
    // Children go first, while the parent they point at still exists.
    m_children.clear();
    if (m_input_scope) m_input_scope->remove_input_widget(this);
    g_cache_pixels -= area(m_cache.size());
}

void Widget::register_for_input() {
    m_wants_input = true;
    if (m_input_scope) return;
    for (Widget* w = m_parent; w; w = w->m_parent) {
        if (InputScope* scope = w->as_input_scope()) {
            m_input_scope = scope;
            scope->add_input_widget(this);
            return;
        }
    }
}

void Widget::forget_input_scope(InputScope* scope) {
    if (m_input_scope == scope) m_input_scope = nullptr;
}

void Widget::join_pending_scopes() {
    if (m_wants_input && !m_input_scope) register_for_input();
    for (const auto& child : m_children) child->join_pending_scopes();
}

Widget* Widget::adopt_child(std::unique_ptr<Widget> child) {
    Widget* added = child.get();
    added->m_parent = this;
    m_children.push_back(std::move(child));
    added->join_pending_scopes();
    return added;
}

void Widget::destroy_children() {
    while (!m_children.empty()) m_children.pop_back();
}

void Widget::dump(int depth) const {
    const Size cache = m_cache.size();
    os::log() << std::u16string(static_cast<size_t>(std::max(depth, 0)), u'\t') << u"{" << m_id << u"} position="
              << m_position.x << u"," << m_position.y << u" size=" << m_size.width << u"," << m_size.height
              << u" design_size=" << m_design_size.x << u"," << m_design_size.y << u" rs.size=" << cache.width << u","
              << cache.height << u"\n";
    for (const auto& child : m_children) child->dump(depth + 1);
}

void Widget::set_property(std::u16string_view name, std::u16string_view value) {
    for (const auto& child : m_children) child->set_property(name, value);
}

Widget* Widget::add_child(std::unique_ptr<Widget> child) {
    Widget* added = child.get();
    added->m_parent = this;
    m_children.push_back(std::move(child));
    added->join_pending_scopes();
    invalidate_layout();
    return added;
}

std::unique_ptr<Widget> Widget::remove_child(Widget* child) {
    const auto found = std::find_if(m_children.begin(), m_children.end(), [&](auto& c) { return c.get() == child; });
    if (found == m_children.end()) return nullptr;
    std::unique_ptr<Widget> removed = std::move(*found);
    m_children.erase(found);
    removed->m_parent = nullptr;
    invalidate_layout();
    return removed;
}

void Widget::load(const Properties& properties, SkinElement element) {
    m_id = properties.get_string(element, u"id", u"");
    m_anchor_x = parse_anchor(properties.get_string(element, u"anchor_x", u"BOTH_SIDE"));
    m_anchor_y = parse_anchor(properties.get_string(element, u"anchor_y", u"BOTH_SIDE"));
    m_border_min = properties.get_point(element, u"border_min", {0, 0});
    m_design_size = properties.get_point(element, u"design_size", {0, 0});
    m_border_max = properties.get_point(element, u"border_max", {0, 0});
    m_table_ratio = properties.get_int(element, u"table_ratio", 0);
    const bool cached = properties.get_int(element, u"cache", 0) != 0;
    set_cache(cached, cached ? properties.get_int(element, u"cache_alpha", -1) : -1);

    const uint32_t count = properties.child_count(element);
    for (uint32_t i = 0; i < count; ++i) {
        const auto child_element = properties.child(element, i);
        if (!child_element) continue;
        const std::u16string type = properties.get_string(*child_element, u"type", u"");
        Widget* child = WidgetRegistry::global().create(type, this);
        child->load(properties, *child_element);
    }

    const std::u16string animation = properties.get_string(element, u"visibility_animation", u"");
    m_visibility_animation = VisibilityAnimation::is_keyword(animation) ? animation : std::u16string();
    m_animation = VisibilityAnimation::create(m_visibility_animation);
}

void Widget::set_animation(std::unique_ptr<VisibilityAnimation> animation) {
    m_animation = std::move(animation);
    m_visibility_animation = m_animation ? m_animation->keyword() : std::u16string();
}

void Widget::set_cache(bool cached, int32_t cache_alpha) {
    m_cached = cached;
    m_cache_blitter = cached ? &translucency_blitter(cache_alpha) : nullptr;
    if (!cached) resize_cache({0, 0});
    mark_redraw();
}

bool Widget::is_effective_visible() const {
    for (const Widget* w = this; w; w = w->m_parent) {
        if (!w->m_visible) return false;
    }
    return true;
}

bool Widget::is_effective_enabled() const {
    for (const Widget* w = this; w; w = w->m_parent) {
        if (!w->m_enabled) return false;
    }
    return true;
}

void Widget::set_enabled(bool enabled) {
    if (enabled == m_enabled) return;
    const bool before = is_effective_enabled();
    m_enabled = enabled;
    const bool after = is_effective_enabled();
    if (before != after) on_enabled_changed(after);
}

void Widget::on_enabled_changed(bool effective) {
    for (const auto& child : m_children) {
        if (child->m_enabled) child->on_enabled_changed(effective);
    }
    mark_redraw();
}

void Widget::set_visible(bool visible) {
    if (visible == m_visible) return;
    // Only a widget that can be seen at all plays its animation.
    if (m_animation && (!m_parent || m_parent->is_effective_visible())) {
        if (visible) {
            m_animation->show();
        } else {
            m_animation->hide(*this);
        }
        mark_redraw();
    }
    apply_visible(visible);
}

void Widget::set_visible_now(bool visible) {
    if (m_animation) m_animation->finish(visible);
    if (visible != m_visible) apply_visible(visible);
    mark_redraw();
}

void Widget::apply_visible(bool visible) {
    const bool before = is_effective_visible();
    m_visible = visible;
    const bool after = is_effective_visible();
    if (before != after) on_visibility_changed(after);
    invalidate_layout();
}

void Widget::on_visibility_changed(bool effective) {
    for (const auto& child : m_children) {
        if (child->m_visible) child->on_visibility_changed(effective);
    }
    invalidate_layout();
    if (!effective) resize_cache({0, 0});
}

void Widget::tick(double elapsed_seconds) {
    if (m_animation && m_animation->is_running()) {
        m_animation->advance(elapsed_seconds);
        mark_redraw();
        return;
    }
    for (const auto& child : m_children) child->tick(elapsed_seconds);
}

void Widget::draw(RenderSurface& surface, Point origin) {
    for (const auto& child : m_children) draw_child(*child, surface, origin);
}

void Widget::draw_child(Widget& child, RenderSurface& surface, Point origin) {
    child.draw_at(surface,
                  {origin.x + child.m_position.x - m_position.x, origin.y + child.m_position.y - m_position.y});
}

void Widget::draw_at(RenderSurface& surface, Point origin) {
    if (m_animation && m_animation->is_running()) {
        m_animation->draw(surface, origin, *this);
    } else if (m_visible) {
        if (m_cached) {
            draw_through_cache(surface, origin);
        } else {
            draw(surface, origin);
        }
    }
    m_needs_redraw = false;
}

int64_t Widget::cache_pixels() { return g_cache_pixels; }

void Widget::resize_cache(Size size) {
    g_cache_pixels -= area(m_cache.size());
    m_cache.recreate(size.width, size.height);
    g_cache_pixels += area(m_cache.size());
}

Size Widget::picture_size() const {
    // Never more than the screen the widget is on can show, whatever the skin made of its size.
    constexpr int32_t kMaxSide = 4096;
    Size size{std::clamp(m_size.width, 0, kMaxSide), std::clamp(m_size.height, 0, kMaxSide)};
    const Widget* root = this;
    while (root->m_parent) root = root->m_parent;
    if (root != this && root->m_size.width > 0 && root->m_size.height > 0) {
        size.width = std::min(size.width, root->m_size.width);
        size.height = std::min(size.height, root->m_size.height);
    }
    return size;
}

void Widget::draw_through_cache(RenderSurface& surface, Point origin) {
    const Size size = picture_size();
    const bool stale = m_needs_redraw || m_cache.size() != size;
    if (stale && m_cache.size() != size) {
        const Widget* root = this;
        while (root->m_parent) root = root->m_parent;
        const int64_t budget = kCacheScreens * std::max<int64_t>(area(root->m_size), area(size));
        if (g_cache_pixels - area(m_cache.size()) + area(size) > budget) {
            resize_cache({0, 0});
            draw(surface, origin);
            return;
        }
    }
    if (stale) {
        resize_cache(size);
        m_cache.fill({0, 0, size.width, size.height}, Color{255, 0, 255, 255});
        draw(m_cache, {0, 0});
    }
    if (const Bitmap* bitmap = m_cache.bitmap()) {
        // The cache may be smaller than the widget (bounded, or short of memory): what it holds.
        const Size shown{std::min(size.width, bitmap->width()), std::min(size.height, bitmap->height())};
        blit(surface, origin, shown, *bitmap, {0, 0}, m_cache_blitter ? *m_cache_blitter : opaque_blitter());
    }
}

bool Widget::hit_test(Point point) const {
    return point.x >= m_position.x && point.x < m_position.x + m_size.width && point.y >= m_position.y &&
           point.y < m_position.y + m_size.height;
}

bool Widget::on_pointer_move(const PointerEvent&) { return false; }
bool Widget::on_pointer_button(const PointerEvent&) { return false; }
bool Widget::on_key(const KeyEvent&) { return false; }
bool Widget::on_char(char16_t) { return false; }

bool Widget::bind(const Properties& properties, std::u16string_view id) {
    const auto element = properties.find_element(id);
    if (!element) return false;
    while (!m_children.empty()) m_children.pop_back();
    try {
        load(properties, *element);
    } catch (const std::bad_alloc&) {
        // A skin too large for the memory left: nothing of it is kept.
        os::log() << u"Widget::bind no memory for {" << id << u"}\n";
        while (!m_children.empty()) m_children.pop_back();
        invalidate_layout();
        return false;
    }
    invalidate_layout();
    mark_redraw();
    return true;
}

Widget* Widget::find_child(std::u16string_view id) const {
    for (const auto& child : m_children) {
        if (child->m_id == id) return child.get();
    }
    for (const auto& child : m_children) {
        if (Widget* found = child->find_child(id)) return found;
    }
    return nullptr;
}

Widget* Widget::attach(std::u16string_view id, EventSink* sink) {
    Widget* found = find_child(id);
    if (!found) throw NodeNotFound(m_id, std::u16string(id));
    found->m_geometry_sink = sink;
    return found;
}

Widget* Widget::try_attach(std::u16string_view id, EventSink* sink) {
    Widget* found = find_child(id);
    if (!found) return nullptr;
    found->m_geometry_sink = sink;
    found->m_controller = sink;
    return found;
}

void Widget::set_text(std::u16string_view text) {
    if (text == m_text) return;
    m_text = std::u16string(text);
    set_property(u"#text", m_text);
}

void Widget::mark_redraw() {
    for (Widget* w = this; w; w = w->m_parent) w->m_needs_redraw = true;
}

void Widget::set_anchors(AnchorType x, AnchorType y) {
    m_anchor_x = x;
    m_anchor_y = y;
    invalidate_layout();
}

void Widget::set_borders(Point border_min, Point border_max) {
    m_border_min = border_min;
    m_border_max = border_max;
    invalidate_layout();
}

void Widget::set_design_size(Point design_size) {
    m_design_size = design_size;
    invalidate_layout();
}
