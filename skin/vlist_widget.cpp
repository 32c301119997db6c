#include "skin/vlist_widget.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "os/log.h"

namespace {
// Row heights beyond this come only from broken skins.
constexpr int32_t kMaxRowHeight = 4096;
}  // namespace

void VListRow::find_looks() {
    m_normal = find_child(u"#vlist_normal");
    m_pressed_look = find_child(u"#vlist_pressed");
    m_selected = find_child(u"#vlist_selected");
}

void VListRow::show_look(bool selected) {
    Widget* chosen = m_pressed ? m_pressed_look : selected ? m_selected : m_normal;
    if (!chosen) chosen = m_normal;
    for (Widget* look : {m_normal, m_pressed_look, m_selected}) {
        if (look) look->set_visible(look == chosen);
    }
}

VListWidget::VListWidget(Widget* parent) : Widget(parent) { register_for_input(); }

VListWidget::~VListWidget() {
    m_pressed_row = nullptr;
    m_rows.clear();
}

void VListWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_border_top = std::max(0, properties.get_point(element, u"scroll_border_min", {0, 0}).y);
    m_border_bottom = std::max(0, properties.get_point(element, u"scroll_border_max", {0, 0}).y);
    m_locked = properties.get_int(element, u"locked", 0) != 0;
    m_grow = properties.get_int(element, u"grow", 0) != 0;
    m_pressed_row = nullptr;
    m_rows.clear();
    m_type_heights.clear();
    m_offsets_dirty = true;
}

void VListWidget::dump(int depth) const {
    Widget::dump(depth);
    for (const auto& row : m_rows) {
        if (row->m_index >= 0) row->dump(depth + 1);
    }
}

double VListWidget::now() const {
    if (m_clock) return m_clock();
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Content --------------------------------------------------------------------------------------

void VListWidget::set_adapter(VListAdapter* adapter) {
    m_adapter = adapter;
    m_pressed_row = nullptr;
    m_rows.clear();
    m_type_heights.clear();
    reset(m_count);
}

void VListWidget::reset(int32_t count) {
    release_pressed_row();
    m_count = std::max(0, count);
    m_selection = -1;
    m_scroll = 0.0;
    m_velocity = 0.0;
    for (const auto& row : m_rows) unbind(*row);
    m_offsets_dirty = true;
    invalidate_layout();
    place_rows();
    mark_redraw();
}

void VListWidget::insert_item(int32_t index) {
    index = std::clamp(index, 0, m_count);
    ++m_count;
    if (m_selection >= index) ++m_selection;
    for (const auto& row : m_rows) {
        if (row->m_index >= index) ++row->m_index;
    }
    m_offsets_dirty = true;
    if (m_grow) invalidate_layout();
    place_rows();
    mark_redraw();
}

void VListWidget::remove_item(int32_t index) {
    if (index < 0 || index >= m_count) return;
    --m_count;
    if (m_selection == index) {
        m_selection = -1;
    } else if (m_selection > index) {
        --m_selection;
    }
    for (const auto& row : m_rows) {
        if (row->m_index == index) {
            if (m_pressed_row == row.get()) release_pressed_row();
            unbind(*row);
        } else if (row->m_index > index) {
            --row->m_index;
        }
    }
    m_offsets_dirty = true;
    if (m_grow) invalidate_layout();
    place_rows();
    mark_redraw();
}

void VListWidget::refresh_item(int32_t index) {
    if (!m_adapter || index < 0 || index >= m_count) return;
    if (m_adapter->row_type(index) != (index < static_cast<int32_t>(m_types.size()) ? m_types[index] : 0)) {
        // The item needs another kind of row now.
        for (const auto& row : m_rows) {
            if (row->m_index == index) unbind(*row);
        }
        m_offsets_dirty = true;
    } else if (VListRow* row = static_cast<VListRow*>(row_for(index))) {
        m_adapter->bind_row(*row, index);
    }
    place_rows();
    mark_redraw();
}

void VListWidget::refresh_all() {
    for (const auto& row : m_rows) unbind(*row);
    m_offsets_dirty = true;
    place_rows();
    mark_redraw();
}

void VListWidget::set_selection(int32_t index) {
    m_selection = index >= 0 && index < m_count ? index : -1;
    update_looks();
}

Widget* VListWidget::row_for(int32_t index) const {
    for (const auto& row : m_rows) {
        if (row->m_index == index && index >= 0) return row.get();
    }
    return nullptr;
}

void VListWidget::update_looks() {
    for (const auto& row : m_rows) {
        if (row->m_index >= 0) row->show_look(row->m_index == m_selection);
    }
    mark_redraw();
}

// Geometry -------------------------------------------------------------------------------------

int32_t VListWidget::type_height(int32_t type) {
    const auto known = m_type_heights.find(type);
    if (known != m_type_heights.end()) return known->second;
    int32_t height = 1;
    if (VListRow* row = acquire_row(type)) height = row->measure_height().preferred;
    height = std::clamp(height, 1, kMaxRowHeight);
    m_type_heights[type] = height;
    return height;
}

void VListWidget::ensure_offsets() {
    if (!m_offsets_dirty) return;
    m_offsets_dirty = false;
    m_types.assign(static_cast<size_t>(m_count), 0);
    m_offsets.assign(static_cast<size_t>(m_count) + 1, 0);
    for (int32_t i = 0; i < m_count; ++i) {
        const int32_t type = m_adapter ? m_adapter->row_type(i) : 0;
        m_types[static_cast<size_t>(i)] = type;
        m_offsets[static_cast<size_t>(i) + 1] = m_offsets[static_cast<size_t>(i)] + (m_adapter ? type_height(type) : 0);
    }
}

int64_t VListWidget::content_height() {
    ensure_offsets();
    return m_offsets.back();
}

double VListWidget::max_scroll() {
    return static_cast<double>(
        std::max<int64_t>(0, m_border_top + content_height() + m_border_bottom - std::max(0, size().height)));
}

double VListWidget::overshoot() const {
    if (m_scroll < 0) return -m_scroll;
    const double limit = m_offsets_dirty
                             ? m_scroll
                             : static_cast<double>(std::max<int64_t>(
                                   0, m_border_top + m_offsets.back() + m_border_bottom - std::max(0, size().height)));
    return m_scroll > limit ? m_scroll - limit : 0.0;
}

int32_t VListWidget::view_height() const {
    // Never more rows than the screen the list is on can show.
    const Widget* root = this;
    while (root->parent()) root = root->parent();
    int32_t height = std::max(0, size().height);
    if (root != this && root->size().height > 0) height = std::min(height, root->size().height);
    return height;
}

MeasuredPair VListWidget::compute_height() {
    MeasuredPair pair = Widget::compute_height();
    if (!m_grow) return pair;
    const int64_t wanted = std::min<int64_t>(INT32_MAX, m_border_top + content_height() + m_border_bottom);
    pair.preferred = std::max<int32_t>(pair.preferred, static_cast<int32_t>(wanted));
    pair.minimum = std::max(pair.minimum, m_border_top + m_border_bottom);
    os::log() << u"Desired size=" << pair.preferred << u"\n";
    return pair;
}

void VListWidget::layout_x() {
    Widget::layout_x();
    for (const auto& row : m_rows) {
        if (row->m_index >= 0) row->set_x(position().x, size().width);
    }
}

void VListWidget::layout_y() {
    Widget::layout_y();
    place_rows();
}

VListRow* VListWidget::acquire_row(int32_t type) {
    for (const auto& row : m_rows) {
        if (row->m_index < 0 && row->m_type == type && row.get() != m_pressed_row) return row.get();
    }
    VListRow* row = nullptr;
    if (m_rows.size() < kMaxRows) {
        m_rows.push_back(std::make_unique<VListRow>(this));
        ++m_rows_created;
        row = m_rows.back().get();
    } else {
        for (const auto& spare : m_rows) {
            if (spare->m_index < 0 && spare.get() != m_pressed_row) {
                row = spare.get();
                break;
            }
        }
        if (!row) return nullptr;
    }
    row->m_type = type;
    if (m_adapter) m_adapter->build_row(*row, type);
    row->find_looks();
    row->set_visible_now(true);
    return row;
}

void VListWidget::unbind(VListRow& row) {
    if (row.m_index < 0) return;
    row.cancel_pointer();
    row.m_index = -1;
    row.m_pressed = false;
}

void VListWidget::place_rows() {
    if (!m_adapter || m_count == 0 || size().height <= 0) {
        for (const auto& row : m_rows) unbind(*row);
        return;
    }
    ensure_offsets();
    const double top = m_scroll - m_border_top;
    const double bottom = top + view_height();
    // The first item whose bottom lies below the top of the view.
    const auto first_it = std::upper_bound(m_offsets.begin() + 1, m_offsets.end(), static_cast<int64_t>(top));
    const int32_t first = static_cast<int32_t>(first_it - (m_offsets.begin() + 1));
    int32_t last = first;
    while (last < m_count && static_cast<double>(m_offsets[static_cast<size_t>(last)]) < bottom) ++last;

    for (const auto& row : m_rows) {
        if (row->m_index >= 0 && (row->m_index < first || row->m_index >= last)) {
            if (m_pressed_row == row.get()) release_pressed_row();
            unbind(*row);
        }
    }
    const int32_t scroll = static_cast<int32_t>(std::floor(m_scroll));
    for (int32_t i = first; i < last; ++i) {
        VListRow* row = static_cast<VListRow*>(row_for(i));
        if (!row) {
            row = acquire_row(m_types[static_cast<size_t>(i)]);
            if (!row) break;
            row->m_index = i;
            m_adapter->bind_row(*row, i);
            row->show_look(i == m_selection);
        }
        const int64_t y = position().y + m_border_top + m_offsets[static_cast<size_t>(i)] - scroll;
        row->set_x(position().x, size().width);
        row->set_y(static_cast<int32_t>(y), type_height(row->m_type));
    }
    mark_redraw();
}

void VListWidget::draw(RenderSurface& surface, Point origin) {
    Widget::draw(surface, origin);
    const RenderSurface::ClipState saved = surface.clip_state();
    surface.set_clip(intersect(saved.rect, {origin.x, origin.y, origin.x + size().width, origin.y + size().height}));
    for (const auto& row : m_rows) {
        if (row->m_index < 0) continue;
        row->draw_at(surface,
                     {origin.x + row->position().x - position().x, origin.y + row->position().y - position().y});
    }
    surface.set_clip_state(saved);
}
