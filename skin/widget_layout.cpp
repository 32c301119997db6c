// The two layout passes of every widget: measuring (bottom-up, cached until invalidate_layout)
// and placing (top-down, through set_x before set_y, stopping where nothing changed).
#include <algorithm>

#include "skin/widget.h"

namespace {
int32_t along(Point p, int axis) { return axis == 0 ? p.x : p.y; }

// A measured pair that a screen can show: both lengths within 0..kMaxScreenLength.
MeasuredPair bounded(MeasuredPair pair) {
    const int32_t preferred = clamp_length(pair.preferred);
    return {preferred, std::min(clamp_length(pair.minimum), preferred)};
}
}  // namespace

MeasuredPair Widget::measure_width() {
    if (m_measured_width.preferred == -1) m_measured_width = bounded(compute_width());
    return m_measured_width;
}

MeasuredPair Widget::measure_height() {
    if (m_measured_height.preferred == -1) m_measured_height = bounded(compute_height());
    return m_measured_height;
}

MeasuredPair Widget::compute_width() { return measure_axis(0); }
MeasuredPair Widget::compute_height() { return measure_axis(1); }

MeasuredPair Widget::measure_axis(int axis) {
    MeasuredPair result{along(m_design_size, axis), along(m_design_size, axis)};
    for (const auto& child : m_children) {
        const MeasuredPair pair = axis == 0 ? child->measure_width() : child->measure_height();
        const AnchorType anchor = axis == 0 ? child->m_anchor_x : child->m_anchor_y;
        const int32_t required =
            required_length(anchor, along(child->m_border_min, axis), along(child->m_border_max, axis), pair.preferred);
        result.preferred = std::max(result.preferred, required);
        result.minimum = std::max(result.minimum, pair.minimum + required - pair.preferred);
    }
    return result;
}

void Widget::place_children(int axis) {
    const int32_t own_position = axis == 0 ? m_position.x : m_position.y;
    const int32_t own_length = axis == 0 ? m_size.width : m_size.height;
    for (const auto& child : m_children) {
        const MeasuredPair pair = axis == 0 ? child->measure_width() : child->measure_height();
        const AnchorType anchor = axis == 0 ? child->m_anchor_x : child->m_anchor_y;
        const int32_t border_min = along(child->m_border_min, axis);
        const int32_t border_max = along(child->m_border_max, axis);
        const int32_t size = child_size(anchor, border_min, border_max, own_length, pair.preferred);
        const int32_t offset = child_offset(anchor, border_min, border_max, own_length, size);
        const int32_t at = clamp_position(int64_t{own_position} + offset);
        if (axis == 0) {
            child->set_x(at, size);
        } else {
            child->set_y(at, size);
        }
    }
}

void Widget::layout_x() { place_children(0); }
void Widget::layout_y() { place_children(1); }

void Widget::set_x(int32_t x, int32_t width) {
    x = clamp_position(x);
    width = clamp_length(width);
    if (x == m_position.x && width == m_size.width && !m_layout_dirty) return;
    m_position.x = x;
    m_size.width = width;
    m_layout_dirty = true;
    mark_redraw();
    if (m_geometry_sink) m_geometry_sink->on_width_changed(this, width);
    layout_x();
}

void Widget::set_y(int32_t y, int32_t height) {
    y = clamp_position(y);
    height = clamp_length(height);
    if (y == m_position.y && height == m_size.height && !m_layout_dirty) return;
    m_position.y = y;
    m_size.height = height;
    m_layout_dirty = false;
    mark_redraw();
    if (m_geometry_sink) m_geometry_sink->on_height_changed(this, height);
    layout_y();
}

void Widget::invalidate_layout() {
    for (Widget* w = this; w; w = w->m_parent) {
        w->m_measured_width = {};
        w->m_measured_height = {};
        w->m_layout_dirty = true;
    }
}
