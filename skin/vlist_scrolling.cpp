// The list's pointer handling and the physics of its kinetic scrolling.
#include <algorithm>
#include <cmath>

#include "os/log.h"
#include "skin/visibility_animation.h"
#include "skin/vlist_widget.h"

namespace {
constexpr double kMaxFling = 2000.0;    // pixels per second
constexpr double kReturnSpeed = 400.0;  // pixels per second, back to an end after over-scrolling
// A list pulled far past its end goes back faster, by this share of the distance per second, so
// that even half a screen's over-scroll is back within a second.
constexpr double kReturnRate = 3.0;
constexpr double kVelocityWindow = 0.1;  // seconds of pointer samples the fling velocity is taken from
constexpr size_t kMaxSamples = 32;
}  // namespace

void VListWidget::set_scroll_position(double position) {
    if (!std::isfinite(position)) return;
    m_scroll = std::clamp(position, 0.0, max_scroll());
    m_velocity = 0.0;
    place_rows();
    mark_redraw();
}

void VListWidget::scroll_to_item(int32_t index) {
    index = std::clamp(index, 0, m_count);
    ensure_offsets();
    set_scroll_position(static_cast<double>(m_offsets[static_cast<size_t>(index)]));
}

void VListWidget::ensure_visible(int32_t index) {
    if (index < 0 || index >= m_count) return;
    ensure_offsets();
    const double top = static_cast<double>(m_offsets[static_cast<size_t>(index)]) + m_border_top;
    const double bottom = static_cast<double>(m_offsets[static_cast<size_t>(index) + 1]) + m_border_top;
    const double view = std::max(0, size().height);
    if (top < m_scroll) {
        set_scroll_position(top);
    } else if (bottom > m_scroll + view) {
        set_scroll_position(bottom - view);
    }
}

VListRow* VListWidget::row_at(Point point) const {
    for (const auto& row : m_rows) {
        if (row->index() >= 0 && row->hit_test(point)) return row.get();
    }
    return nullptr;
}

void VListWidget::release_pressed_row() {
    VListRow* row = m_pressed_row;
    if (!row) return;
    m_pressed_row = nullptr;
    row->m_pressed = false;
    row->cancel_pointer();
    row->show_look(row->m_index >= 0 && row->m_index == m_selection);
    mark_redraw();
}

double VListWidget::estimate_velocity(double at, int32_t y) const {
    // The pointer's speed over the last tenth of a second, from the oldest sample in that window to
    // the release; a finger that rested before lifting leaves no sample in it and flings nothing.
    const Sample* first = nullptr;
    for (const Sample& sample : m_samples) {
        if (sample.time >= at - kVelocityWindow) {
            first = &sample;
            break;
        }
    }
    if (!first || m_samples.size() < 2) return 0.0;
    const double span = at - first->time;
    if (span <= 0.0) return 0.0;
    return (y - first->y) / std::max(span, 0.01);
}

bool VListWidget::on_pointer_button(const PointerEvent& event) {
    const double time = now();
    ensure_offsets();
    if (event.down && !event.cancel) {
        release_pressed_row();
        m_held = true;
        m_last_y = event.y;
        m_drag_distance = 0;
        m_samples.clear();
        m_samples.push_back({time, event.y});
        if (m_velocity == 0.0) {
            if (VListRow* row = row_at({event.x, event.y})) {
                m_pressed_row = row;
                row->m_pressed = true;
                row->show_look(false);
                row->deliver_pointer_down(event);
            }
        }
        mark_redraw();
        return true;
    }

    m_held = false;
    if (VListRow* row = m_pressed_row) {
        m_pressed_row = nullptr;
        row->m_pressed = false;
        const int32_t index = row->m_index;
        if (!event.cancel && index >= 0 && row->hit_test({event.x, event.y})) {
            if (row->input_widgets().empty()) {
                m_selection = index;
                update_looks();
                // The adapter may reset or rebuild the list: nothing of the row is used after this.
                if (m_adapter) m_adapter->on_item_activated(*this, index);
                return true;
            }
            row->deliver_pointer_up(event);
        } else {
            row->cancel_pointer();
        }
        row->show_look(row->m_index >= 0 && row->m_index == m_selection);
    } else if (!event.cancel && !m_locked) {
        const double pointer_velocity = estimate_velocity(time, event.y);
        m_velocity = overshoot() > 0.0 ? 0.0 : std::clamp(-pointer_velocity, -kMaxFling, kMaxFling);
    }
    m_samples.clear();
    mark_redraw();
    return true;
}

bool VListWidget::on_pointer_move(const PointerEvent& event) {
    if (!m_held) return false;
    ensure_offsets();
    const int32_t dy = event.y - m_last_y;
    m_last_y = event.y;
    m_drag_distance += std::abs(dy);
    if (m_pressed_row) {
        if (m_drag_distance > kReleaseDistance) {
            release_pressed_row();
        } else {
            m_pressed_row->deliver_pointer_move(event);
        }
    }
    if (!m_locked && dy != 0) {
        // Past either end the content follows less and less, and not at all half a list beyond.
        const double over = overshoot();
        const double height = std::max(0, size().height);
        const double factor = over > 0.0 ? (height > 0 ? std::max(0.0, 1.0 - 2.0 * over / height) : 0.0) : 1.0;
        m_scroll -= dy * factor;
        place_rows();
    }
    m_samples.push_back({now(), event.y});
    while (m_samples.size() > kMaxSamples) m_samples.pop_front();
    mark_redraw();
    return true;
}

void VListWidget::step(double dt) {
    ensure_offsets();
    const bool was_moving = is_moving();
    step_motion(dt);
    // Where a motion ended, once per fling or return: how a user's flick went, read from the log.
    if (was_moving && !is_moving())
        os::log() << u"list rests at " << static_cast<int64_t>(std::lround(m_scroll)) << u"\n";
}

void VListWidget::step_motion(double dt) {
    if (m_velocity != 0.0) {
        m_scroll += m_velocity * dt;
        double drop = (2.0 * std::abs(m_velocity) + 9.0) * dt;
        if (m_held && !m_pressed_row) drop *= 5.0;
        const double over = overshoot();
        const bool outward = (m_scroll < 0 && m_velocity < 0) || (over > 0 && m_scroll > 0 && m_velocity > 0);
        if (over > 0.0 && outward) drop += (over + 1.0) * 50.0 * dt;
        const double speed = std::max(0.0, std::abs(m_velocity) - drop);
        m_velocity = m_velocity < 0 ? -speed : speed;
    } else if (!m_held) {
        const double over = overshoot();
        if (over <= 0.0) return;
        const double move = std::min(over, std::max(kReturnSpeed, over * kReturnRate) * dt);
        m_scroll += m_scroll < 0 ? move : -move;
    } else {
        return;
    }
    place_rows();
    mark_redraw();
}

void VListWidget::tick(double elapsed_seconds) {
    if (animation() && animation()->is_running()) {
        Widget::tick(elapsed_seconds);
        return;
    }
    if (!std::isfinite(elapsed_seconds)) elapsed_seconds = 0.0;
    step(std::clamp(elapsed_seconds, 0.0, 0.1));
    for (const auto& row : m_rows) {
        if (row->m_index >= 0) row->tick(elapsed_seconds);
    }
    Widget::tick(elapsed_seconds);
}

bool VListWidget::on_key(const KeyEvent& event) {
    if (!event.pressed || m_count == 0) return false;
    switch (event.code) {
        case key::Up:
        case key::Down: {
            const int32_t step = event.code == key::Up ? -1 : 1;
            const int32_t next = m_selection < 0 ? (step > 0 ? 0 : m_count - 1) : m_selection + step;
            set_selection(std::clamp(next, 0, m_count - 1));
            ensure_visible(m_selection);
            return true;
        }
        case key::Enter:
            if (m_selection < 0) return false;
            if (event.fresh && m_adapter) m_adapter->on_item_activated(*this, m_selection);
            return true;
        default:
            return false;
    }
}
