#include "skin/screen_manager.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "os/log.h"
#include "skin/blitter.h"
#include "skin/input_scope.h"
#include "skin/text_input_host.h"
#include "skin/visibility_animation.h"
#include "skin/widget.h"

namespace {
// A widget's own visibility animation (a menu's panel sliding in) and a widget in motion (a list
// gliding after a flick) move only on ticks, and ticks come with frames: while one of them runs the
// screen needs frames, though nothing else asked for one. Hidden widgets do not count.
bool has_running_animation(const Widget& widget, bool shown = true) {
    if (widget.animation() && widget.animation()->is_running()) return true;
    shown = shown && widget.is_visible();
    if (shown && widget.is_in_motion()) return true;
    for (const auto& child : widget.children()) {
        if (has_running_animation(*child, shown)) return true;
    }
    return false;
}

constexpr int32_t kNoDimming = 256;
constexpr int32_t kOverlayDimming = 128;
constexpr int32_t kDimStep = 16;

void dim(RenderSurface& frame, int32_t level) {
    if (level >= kNoDimming) return;
    const Size size = frame.size();
    frame.filter(
        {0, 0, size.width, size.height}, [](Pixel* b, Pixel* e, int32_t n) { dim_row(b, e, n); }, dimming_level(level));
}

InputScope* scope_of(Widget* screen) { return screen ? screen->as_input_scope() : nullptr; }

double seconds_now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
}  // namespace

ScreenManager::ScreenManager(Size screen_size) : m_size(screen_size) {
    const char* frame_time = std::getenv("QUILLON_FRAME_TIME");
    m_show_frame_time = frame_time && *frame_time && std::strcmp(frame_time, "0") != 0;
}

ScreenManager::~ScreenManager() = default;

void ScreenManager::set_screen_size(Size size) {
    m_size = {std::max(0, size.width), std::max(0, size.height)};
    m_redraw_pending = true;
}

bool ScreenManager::contains(const Widget* screen) const {
    return std::any_of(m_stack.begin(), m_stack.end(), [&](const Entry& e) { return e.screen == screen; });
}

Widget* ScreenManager::top() const { return m_stack.empty() ? nullptr : m_stack.back().screen; }
bool ScreenManager::top_is_overlay() const { return !m_stack.empty() && m_stack.back().overlay; }
bool ScreenManager::is_transition_running() const { return m_transition && m_transition->is_running(); }

void ScreenManager::lay_out(Widget& screen) {
    screen.set_x(0, m_size.width);
    screen.set_y(0, m_size.height);
}

void ScreenManager::snapshot(Widget& screen) {
    m_surface.recreate(m_size.width, m_size.height);
    m_surface.fill({0, 0, m_size.width, m_size.height}, m_background);
    lay_out(screen);
    screen.draw(m_surface, {0, 0});
    m_has_snapshot = true;
}

void ScreenManager::stop_transition() {
    if (m_transition) m_transition->finish(m_transition->direction() >= 0);
    m_transition.reset();
    m_transition_target = 0;
}

void ScreenManager::start_transition(Widget& screen, int direction) {
    m_transition = VisibilityAnimation::create(screen.visibility_animation());
    if (!m_transition) return;
    m_transition_target = screen.serial();
    m_transition->start_transition(screen, m_has_snapshot ? &m_surface : nullptr, direction);
    if (!m_transition->is_running()) m_transition.reset();
}

void ScreenManager::push_screen(Widget* screen, bool overlay) {
    if (!screen) return;
    if (top() == screen) return;
    if (contains(screen)) {
        // Pushed again from below: it moves to the top.
        std::erase_if(m_stack, [&](const Entry& e) { return e.screen == screen; });
    }
    Widget* previous = top();
    m_redraw_pending = true;
    lay_out(*screen);
    if (!previous) {
        screen->set_visible_now(true);
    } else if (overlay) {
        stop_transition();
        if (!m_stack.back().overlay) snapshot(*previous);
        previous->set_visible_now(false);
        // Shown through its own animation, from hidden.
        screen->set_visible_now(false);
        screen->set_visible(true);
    } else if (is_transition_running() && m_transition_target == screen->serial() && m_transition->direction() < 0) {
        m_transition->reverse();
        previous->set_visible_now(false);
        screen->set_visible_now(true);
    } else {
        stop_transition();
        const bool animated = VisibilityAnimation::is_keyword(screen->visibility_animation());
        if (m_stack.back().overlay) {
            if (animated) {
                // The transition starts from what is seen now: the dimmed picture and the overlay.
                if (!m_has_snapshot) {
                    m_surface.recreate(m_size.width, m_size.height);
                    m_surface.fill({0, 0, m_size.width, m_size.height}, m_background);
                    m_has_snapshot = true;
                }
                dim(m_surface, m_dim);
                previous->draw(m_surface, {0, 0});
            } else {
                m_surface.recreate(0, 0);
                m_has_snapshot = false;
            }
            m_dim = kNoDimming;
        } else if (animated) {
            snapshot(*previous);
        }
        previous->set_visible_now(false);
        screen->set_visible_now(true);
        if (animated) start_transition(*screen, 1);
    }
    m_stack.push_back({screen, overlay});
    top_changed(previous);
    if (m_listener) m_listener->on_screen_pushed(screen, overlay);
    dump_first_time(*screen);
}

bool ScreenManager::remove_screen(Widget* screen) {
    const auto found = std::find_if(m_stack.begin(), m_stack.end(), [&](const Entry& e) { return e.screen == screen; });
    if (found == m_stack.end()) return false;
    m_redraw_pending = true;
    if (found + 1 != m_stack.end()) {
        screen->set_visible_now(false);
        m_stack.erase(found);
        if (m_listener) m_listener->on_screen_removed(screen);
        return true;
    }
    const Entry removed = m_stack.back();
    m_stack.pop_back();
    if (m_stack.empty()) {
        stop_transition();
        screen->set_visible_now(false);
        m_surface.recreate(0, 0);
        m_has_snapshot = false;
        top_changed(screen);
        if (m_listener) m_listener->on_screen_removed(screen);
        return true;
    }
    Widget* now_top = m_stack.back().screen;
    const bool now_overlay = m_stack.back().overlay;
    if (is_transition_running() && m_transition_target == screen->serial() && m_transition->direction() > 0) {
        // Closed while still opening: the same motion runs back.
        m_transition->reverse();
        screen->set_visible_now(false);
        now_top->set_visible_now(true);
    } else {
        stop_transition();
        if (removed.overlay) {
            screen->set_visible_now(false);
            if (now_overlay) {
                now_top->set_visible_now(false);
                now_top->set_visible(true);
            } else {
                m_surface.recreate(0, 0);
                m_has_snapshot = false;
                now_top->set_visible_now(true);
            }
        } else {
            const bool animated = VisibilityAnimation::is_keyword(screen->visibility_animation());
            if (now_overlay) {
                for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
                    if (!it->overlay) {
                        snapshot(*it->screen);
                        break;
                    }
                }
                now_top->set_visible_now(false);
                now_top->set_visible(true);
            } else {
                now_top->set_visible_now(true);
                if (animated) snapshot(*now_top);
            }
            if (animated) start_transition(*screen, -1);
            screen->set_visible_now(false);
        }
    }
    lay_out(*now_top);
    top_changed(screen);
    if (m_listener) m_listener->on_screen_removed(screen);
    return true;
}

void ScreenManager::top_changed(Widget* previous) {
    Widget* now = top();
    if (previous && previous != now) {
        if (InputScope* scope = scope_of(previous)) scope->cancel_pointer();
        if (m_pointer_screen == previous) m_pointer_screen = nullptr;
    }
    InputScope* scope = scope_of(now);
    set_edited_widget(scope ? scope->focus() : nullptr);
}

void ScreenManager::dump_first_time(Widget& screen) {
    if (std::find(m_dumped.begin(), m_dumped.end(), screen.serial()) != m_dumped.end()) return;
    if (!os::log().sink().is_file()) return;
    m_dumped.push_back(screen.serial());
    screen.dump(0);
}

void ScreenManager::compose(RenderSurface& frame) {
    const Size size = frame.size();
    // The frame has the window's real size: the screens are laid out for it, whatever size was
    // announced before (a window that did not get the size it asked for).
    if (size != m_size) set_screen_size(size);
    m_redraw_pending = false;
    const Rect whole{0, 0, size.width, size.height};
    bool overlay_on_top = false;
    if (is_transition_running()) {
        frame.fill(whole, m_background);
        m_transition->draw_captured(frame, {0, 0});
    } else if (m_stack.empty()) {
        frame.fill(whole, m_background);
    } else {
        Widget& screen = *m_stack.back().screen;
        lay_out(screen);
        if (m_stack.back().overlay) {
            overlay_on_top = true;
            refresh_snapshot();
            if (m_has_snapshot && m_surface.bitmap()) {
                if (m_surface.size() != size) frame.fill(whole, m_background);
                blit(frame, {0, 0}, m_surface.size(), *m_surface.bitmap(), {0, 0}, opaque_blitter());
            } else {
                frame.fill(whole, m_background);
            }
            dim(frame, m_dim);
            if (m_dim > kOverlayDimming) {
                m_dim = std::max(kOverlayDimming, m_dim - kDimStep);
                m_redraw_pending = true;
            }
            screen.draw_at(frame, {0, 0});
        } else {
            frame.fill(whole, m_background);
            screen.draw_at(frame, {0, 0});
        }
    }
    if (!overlay_on_top) {
        dim(frame, m_dim);
        if (m_dim < kNoDimming) {
            m_dim = std::min(kNoDimming, m_dim + kDimStep);
            m_redraw_pending = true;
        }
    }
    if (m_show_frame_time) {
        m_frame_time.record(seconds_now());
        m_frame_time.draw(frame, needs_frame());
    }
}

Widget* ScreenManager::screen_under_overlays() const {
    for (auto it = m_stack.rbegin(); it != m_stack.rend(); ++it) {
        if (!it->overlay) return it == m_stack.rbegin() ? nullptr : it->screen;
    }
    return nullptr;
}

void ScreenManager::refresh_snapshot() {
    // The screen under a dialog or menu may change while it is covered (a playback that stopped
    // shows Play): the dimmed picture of it is taken again, so what shows through is true.
    Widget* under = screen_under_overlays();
    if (!under || !m_has_snapshot || !under->needs_redraw()) return;
    snapshot(*under);
    // Hidden while covered, it draws nothing here; this only clears its wish to be drawn.
    under->draw_at(m_surface, {0, 0});
}

bool ScreenManager::needs_frame() {
    if (m_redraw_pending || is_transition_running()) return true;
    if (m_stack.empty()) return m_dim != kNoDimming;
    if (Widget* under = screen_under_overlays(); under && m_has_snapshot && under->needs_redraw()) return true;
    const Entry& entry = m_stack.back();
    if (entry.screen->needs_redraw() || entry.screen->is_layout_dirty() || has_running_animation(*entry.screen)) {
        return true;
    }
    return m_dim != (entry.overlay ? kOverlayDimming : kNoDimming);
}

void ScreenManager::tick(double elapsed_seconds) {
    if (m_transition) {
        if (!m_transition->advance(elapsed_seconds)) {
            m_transition.reset();
            m_transition_target = 0;
        }
        m_redraw_pending = true;
        return;
    }
    Widget* screen = top();
    if (!screen) return;
    lay_out(*screen);
    screen->tick(elapsed_seconds);
}

void ScreenManager::set_frame_time_display(bool on) {
    m_show_frame_time = on;
    m_redraw_pending = true;
}

bool ScreenManager::on_key(const KeyEvent& event) {
    if (event.code == key::Ctrl) m_ctrl_down = event.pressed;
    if (m_ctrl_down && event.code == key::letter('T')) {
        if (event.pressed && event.fresh) set_frame_time_display(!m_show_frame_time);
        return true;
    }
    InputScope* scope = scope_of(top());
    if (scope && scope->deliver_key(event)) return true;
    // What no widget took is the screen's own: its keyboard shortcuts.
    Widget* screen = top();
    return screen ? screen->on_key(event) : false;
}

void ScreenManager::on_text(std::u16string_view text) {
    for (char16_t unit : text) {
        InputScope* scope = scope_of(top());
        if (!scope) break;
        scope->deliver_char(unit);
    }
}

void ScreenManager::on_pointer_down(int32_t x, int32_t y) {
    Widget* screen = top();
    InputScope* scope = scope_of(screen);
    if (!scope) return;
    if (m_pointer_screen == screen) scope->cancel_pointer();
    m_pointer_screen = screen;
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.down = true;
    scope->deliver_pointer_down(event);
}

void ScreenManager::on_pointer_move(int32_t x, int32_t y) {
    Widget* screen = top();
    if (!m_pointer_screen || m_pointer_screen != screen) return;
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.down = true;
    scope_of(screen)->deliver_pointer_move(event);
}

void ScreenManager::on_pointer_up(int32_t x, int32_t y, bool cancelled) {
    Widget* screen = m_pointer_screen;
    m_pointer_screen = nullptr;
    if (!screen || screen != top()) return;
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.cancel = cancelled;
    scope_of(screen)->deliver_pointer_up(event);
}
