#include "skin/table_widget.h"

#include <algorithm>
#include <vector>

namespace {
int32_t along(Point p, int axis) { return axis == 0 ? p.x : p.y; }

struct Item {
    Widget* widget;
    MeasuredPair pair;
    AnchorType anchor;
    int32_t border_min;
    int32_t border_max;
    int32_t border;
    int32_t ratio;
    int32_t length;  // the length the child ends up with, before its borders
};

// floor(total × part / whole) with a product wide enough for any skin's values, held within a
// range whose differences cannot overflow; whole is never 0 where this is used.
int64_t share_of(int64_t total, int64_t part, int64_t whole) {
    constexpr int64_t limit = int64_t{1} << 60;
    const __int128 share = static_cast<__int128>(total) * part / whole;
    return share > limit ? limit : share < -limit ? -limit : static_cast<int64_t>(share);
}
}  // namespace

MeasuredPair TableWidget::compute_width() { return m_axis == 0 ? measure_table() : measure_axis(0); }
MeasuredPair TableWidget::compute_height() { return m_axis == 1 ? measure_table() : measure_axis(1); }

void TableWidget::layout_x() {
    if (m_axis == 0) {
        place_table();
    } else {
        place_children(0);
    }
}

void TableWidget::layout_y() {
    if (m_axis == 1) {
        place_table();
    } else {
        place_children(1);
    }
}

MeasuredPair TableWidget::measure_table() {
    const int64_t design = along(design_size(), m_axis);
    // Wide sums: many long children must not wrap round; the result is bounded by the caller.
    int64_t sum_required = 0;
    int64_t sum_slack = 0;
    for (const auto& child : children()) {
        if (!child->is_visible()) continue;
        const MeasuredPair pair = m_axis == 0 ? child->measure_width() : child->measure_height();
        const AnchorType anchor = m_axis == 0 ? child->anchor_x() : child->anchor_y();
        sum_required += required_length(anchor, along(child->border_min(), m_axis), along(child->border_max(), m_axis),
                                        pair.preferred);
        sum_slack += pair.preferred - pair.minimum;
    }
    return {clamp_length(std::max(design, sum_required)), clamp_length(std::max(design, sum_required - sum_slack))};
}

void TableWidget::place_table() {
    const int32_t own_position = m_axis == 0 ? position().x : position().y;
    const int32_t own_length = m_axis == 0 ? size().width : size().height;
    auto place = [&](Widget* child, int64_t position, int32_t length) {
        const int32_t at = clamp_position(position);
        if (m_axis == 0) {
            child->set_x(at, length);
        } else {
            child->set_y(at, length);
        }
    };

    std::vector<Item> items;
    int64_t borders = 0, preferred = 0, minimum = 0;
    int32_t with_ratio = 0;
    for (const auto& child : children()) {
        if (!child->is_visible()) continue;
        Item item{child.get(),
                  m_axis == 0 ? child->measure_width() : child->measure_height(),
                  m_axis == 0 ? child->anchor_x() : child->anchor_y(),
                  along(child->border_min(), m_axis),
                  along(child->border_max(), m_axis),
                  0,
                  child->table_ratio(),
                  0};
        item.border = border_length(item.anchor, item.border_min, item.border_max);
        item.length = item.pair.minimum;
        borders += item.border;
        preferred += item.pair.preferred;
        minimum += item.pair.minimum;
        if (item.ratio > 0) ++with_ratio;
        items.push_back(item);
    }
    const int64_t available = own_length - borders;

    if (available <= 0) {
        for (const Item& item : items) place(item.widget, own_position, 0);
        return;
    }
    if (minimum < available) {
        // Grow every child from its minimum toward its preferred length, sharing evenly and
        // handing what a child cannot take to the others.
        int64_t grow = std::min(preferred, available) - minimum;
        const int64_t extra = preferred < available ? available - preferred : 0;
        while (grow > 0) {
            int64_t growing = 0;
            for (const Item& item : items) growing += item.length < item.pair.preferred ? 1 : 0;
            if (growing == 0) break;
            int64_t collected = 0;
            int64_t k = 0;
            for (Item& item : items) {
                if (item.length >= item.pair.preferred) continue;
                const int64_t offer = grow * (k + 1) / growing - grow * k / growing;
                const int64_t take = std::min<int64_t>(offer, item.pair.preferred - item.length);
                item.length += static_cast<int32_t>(take);
                collected += offer - take;
                ++k;
            }
            grow = collected;
        }
        int64_t running = own_position;
        int64_t ratio_sum = 0;
        for (Item& item : items) {
            if (item.ratio > 0) {
                // A ratio far above 1 asks for many times the extra length: no child grows past
                // what a screen can show.
                item.length = clamp_length(int64_t{item.length} + share_of(extra, ratio_sum + item.ratio, with_ratio) -
                                           share_of(extra, ratio_sum, with_ratio));
                ratio_sum += item.ratio;
            }
            const int32_t slot = item.length + item.border;
            const int32_t length = child_size(item.anchor, item.border_min, item.border_max, slot, item.length);
            place(item.widget, running + child_offset(item.anchor, item.border_min, item.border_max, slot, length),
                  length);
            running += slot;
        }
        return;
    }
    // Even the minimums do not fit: share the length in proportion to them.
    int64_t running = own_position;
    int64_t minimum_sum = 0;
    for (Item& item : items) {
        const int32_t share = clamp_length(share_of(available, minimum_sum + item.pair.minimum, minimum) -
                                           share_of(available, minimum_sum, minimum));
        minimum_sum += item.pair.minimum;
        const int32_t slot = share + item.border;
        const int32_t length = child_size(item.anchor, item.border_min, item.border_max, slot, share);
        place(item.widget, running + child_offset(item.anchor, item.border_min, item.border_max, slot, length), length);
        running += slot;
    }
}
