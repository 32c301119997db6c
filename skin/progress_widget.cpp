#include "skin/progress_widget.h"

#include <algorithm>
#include <cmath>

#include "skin/simple_widgets.h"

void ProgressWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_line = find_child(u"#line");
    if (m_line) {
        m_line->set_geometry_sink(nullptr);
        m_line->set_controller(nullptr);
    }
}

void ProgressWidget::set_value(double value) {
    if (!std::isfinite(value)) value = 0.0;
    value = std::clamp(value, 0.0, 1.0);
    if (value == m_value) return;
    m_value = value;
    // Placing again from this widget is enough: its own size does not depend on the value.
    if (m_line) {
        place(0);
        place(1);
    }
    mark_redraw();
}

void ProgressWidget::set_keeps_thumb(bool keeps) {
    if (keeps == m_keeps_thumb) return;
    m_keeps_thumb = keeps;
    if (m_line) {
        place(0);
        place(1);
    }
    mark_redraw();
}

int32_t ProgressWidget::thumb_length(int axis) const {
    const auto* image = dynamic_cast<const ImageWidget*>(m_line);
    if (!image || !image->picture().is_valid()) return 0;
    const PictureRef& picture = image->picture();
    const int32_t ends = axis == 0 ? (picture.p1.x - picture.p0.x) + (picture.p2.x - picture.p3.x)
                                   : (picture.p1.y - picture.p0.y) + (picture.p2.y - picture.p3.y);
    return std::max(0, ends);
}

void ProgressWidget::layout_x() { place(0); }
void ProgressWidget::layout_y() { place(1); }

void ProgressWidget::place(int axis) {
    const int32_t own_position = axis == 0 ? position().x : position().y;
    const int32_t own_length = axis == 0 ? size().width : size().height;
    for (const auto& child : children()) {
        const AnchorType anchor = axis == 0 ? child->anchor_x() : child->anchor_y();
        const int32_t border_min = axis == 0 ? child->border_min().x : child->border_min().y;
        const int32_t border_max = axis == 0 ? child->border_max().x : child->border_max().y;
        int32_t preferred;
        if (child.get() == m_line) {
            const AnchorType along = axis == 0 ? child->anchor_x() : child->anchor_y();
            const double room = static_cast<double>(own_length) - border_min - border_max;
            // Only along the bar's own direction (the line's MIN_SIDE axis) is the thumb kept.
            const double least = m_keeps_thumb && along != AnchorType::BothSide
                                     ? std::clamp(static_cast<double>(thumb_length(axis)), 0.0, std::max(0.0, room))
                                     : 0.0;
            const double length = least + std::floor((room - least) * m_value);
            preferred = length < 1.0 ? 0 : static_cast<int32_t>(std::min<double>(length, own_length));
        } else {
            preferred = axis == 0 ? child->measure_width().preferred : child->measure_height().preferred;
        }
        const int32_t length = child_size(anchor, border_min, border_max, own_length, preferred);
        const int32_t offset = child_offset(anchor, border_min, border_max, own_length, length);
        if (axis == 0) {
            child->set_x(own_position + offset, length);
        } else {
            child->set_y(own_position + offset, length);
        }
    }
}
