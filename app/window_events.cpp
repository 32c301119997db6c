#include "app/window_events.h"

#include <SDL.h>

#include "app/application_listener.h"
#include "app/game_base.h"
#include "app/key_translation.h"
#include "app/sdl_platform_event.h"
#include "os/log.h"
#include "os/text.h"
#include "os/tick.h"
#include "skin/display/display.h"
#include "skin/display/platform_window.h"
#include "skin/input_sink.h"

namespace {
constexpr Point no_pointer{-1000000, -1000000};
}

void WindowEvents::on_platform_event(const PlatformEvent& platform) {
    const SDL_Event& event = platform.sdl;
    switch (event.type) {
        case SDL_QUIT:
            // The session asks the program to end: the same request as the close button.
            m_host.close_requested();
            break;
        case SDL_WINDOWEVENT:
            if (event.window.windowID == m_window_id) on_window_event(platform);
            break;
        case SDL_DISPLAYEVENT:
            m_host.resolution_changed();
            break;
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            m_host.key(event.key.keysym.sym, event.key.keysym.scancode, event.type == SDL_KEYDOWN,
                       event.key.repeat != 0);
            break;
        case SDL_TEXTINPUT:
            m_host.text(os::from_utf8(event.text.text));
            break;
        // SDL repeats every touch as a mouse event; the touch is taken from the finger events.
        case SDL_MOUSEBUTTONDOWN:
            if (event.button.which != SDL_TOUCH_MOUSEID && event.button.button == SDL_BUTTON_LEFT) {
                m_host.pointer_down(m_host.to_frame(event.button.x, event.button.y));
            }
            break;
        case SDL_MOUSEMOTION:
            if (event.motion.which != SDL_TOUCH_MOUSEID && !m_host.m_finger_down) {
                m_host.pointer_move(m_host.to_frame(event.motion.x, event.motion.y));
            }
            break;
        case SDL_MOUSEBUTTONUP:
            if (event.button.which != SDL_TOUCH_MOUSEID && event.button.button == SDL_BUTTON_LEFT &&
                !m_host.m_finger_down) {
                m_host.pointer_up(m_host.to_frame(event.button.x, event.button.y));
            }
            break;
        case SDL_FINGERDOWN:
        case SDL_FINGERMOTION:
        case SDL_FINGERUP: {
            if (!m_host.m_window) break;
            // One finger drives the pointer: the first one down, until it lifts.
            const Size logical = m_host.m_window->logical_size();
            const Point point = m_host.to_frame(event.tfinger.x * logical.width, event.tfinger.y * logical.height);
            if (event.type == SDL_FINGERDOWN) {
                if (m_host.m_pointer_down) break;
                m_host.m_finger_down = true;
                m_host.m_finger = event.tfinger.fingerId;
                m_host.pointer_down(point);
            } else if (m_host.m_finger_down && event.tfinger.fingerId == m_host.m_finger) {
                if (event.type == SDL_FINGERMOTION) {
                    m_host.pointer_move(point);
                } else {
                    m_host.pointer_up(point);
                }
            }
            break;
        }
        case SDL_RENDER_DEVICE_RESET:
            m_host.create_display();
            break;
        case SDL_RENDER_TARGETS_RESET:
            m_host.m_force_frame = true;
            break;
        default:
            break;
    }
}

void WindowEvents::on_window_event(const PlatformEvent& platform) {
    const SDL_Event& event = platform.sdl;
    switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
            m_host.activate(true);
            break;
        case SDL_WINDOWEVENT_FOCUS_LOST:
            m_host.activate(false);
            break;
        case SDL_WINDOWEVENT_CLOSE:
            m_host.close_requested();
            break;
        case SDL_WINDOWEVENT_SIZE_CHANGED:
        case SDL_WINDOWEVENT_DISPLAY_CHANGED:
            m_host.resolution_changed();
            break;
        case SDL_WINDOWEVENT_MINIMIZED:
            m_host.m_inactive = true;
            m_host.m_shown = false;
            m_host.pointer_lost();
            break;
        case SDL_WINDOWEVENT_HIDDEN:
            m_host.m_shown = false;
            m_host.pointer_lost();
            break;
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_RESTORED:
        case SDL_WINDOWEVENT_MAXIMIZED:
            m_host.m_shown = true;
            m_host.m_force_frame = true;
            break;
        case SDL_WINDOWEVENT_EXPOSED:
            m_host.m_shown = true;
            if (m_host.m_display) m_host.m_display->refresh();
            break;
        default:
            break;
    }
}

// ---- the window procedure's side of the host ---------------------------------------------------

void GameBase::activate(bool active) {
    if (active) {
        lay_out();
        m_inactive = false;
        m_paused = false;
        if (m_listener) m_listener->on_activate();
    } else {
        // The press in progress will never see its release.
        pointer_lost();
        m_inactive = true;
        if (m_listener) m_listener->on_deactivate();
    }
}

void GameBase::close_requested() {
    if (m_listener && !m_listener->can_close()) {
        os::log() << u"WM_CLOSE refused\n";
        return;
    }
    save_window_placement();
    if (m_window) m_window->hide();
    post_quit();
}

void GameBase::key(int32_t platform_key, int32_t scan_code, bool pressed, bool repeat) {
    m_paused = false;
    KeyEvent event{translate_key(platform_key), pressed, !(pressed && repeat)};
    event.ctrl = (SDL_GetModState() & KMOD_CTRL) != 0;
    // The scan code stands for lParam, with bit 30 set for a repeat as the platform's had it.
    const uint32_t parameter = static_cast<uint32_t>(scan_code) | (pressed && repeat ? 1u << 30 : 0u);
    os::log() << (pressed ? u"WM_KEYDOWN = " : u"WM_KEYUP = ") << platform_key << u"(" << key_name(event.code) << u")"
              << u" lParam=" << parameter << u" ticks=" << os::tick_count() << u"\n";
    if (m_listener && m_listener->on_key(event)) return;
    if (m_input) m_input->on_key(event);
}

void GameBase::text(std::u16string_view characters) {
    for (size_t i = 0; i < characters.size();) {
        // A character outside the basic plane travels as its surrogate pair.
        const size_t length = (characters[i] >= 0xD800 && characters[i] < 0xDC00 && i + 1 < characters.size()) ? 2 : 1;
        const std::u16string_view character = characters.substr(i, length);
        i += length;
        os::log() << u"WM_CHAR=" << character << u" lParam=1 ticks=" << os::tick_count() << u"\n";
        if (character[0] < 32) continue;
        if (m_input) m_input->on_text(character);
    }
}

void GameBase::pointer_down(Point point) {
    if (m_pointer_down) pointer_lost();
    m_last_pointer = no_pointer;
    m_pointer_down = true;
    m_paused = false;
    if (m_input) m_input->on_pointer_down(point.x, point.y);
}

void GameBase::pointer_move(Point point) {
    m_paused = false;
    if (m_input) m_input->on_pointer_move(point.x, point.y);
}

void GameBase::pointer_up(Point point) {
    m_finger_down = false;
    if (!m_pointer_down) return;
    m_pointer_down = false;
    m_last_pointer = point;
    m_paused = false;
    if (m_input) m_input->on_pointer_up(point.x, point.y, false);
}

void GameBase::pointer_lost() {
    m_finger_down = false;
    if (!m_pointer_down) return;
    m_pointer_down = false;
    m_paused = false;
    const bool cancelled = m_last_pointer == no_pointer;
    if (m_input) m_input->on_pointer_up(m_last_pointer.x, m_last_pointer.y, cancelled);
}

Point GameBase::to_frame(double x, double y) const {
    Point screen{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    if (m_window) {
        const Size pixels = m_window->pixel_size();
        const Size logical = m_window->logical_size();
        if (logical.width > 0 && logical.height > 0) {
            screen = {static_cast<int32_t>(x * pixels.width / logical.width),
                      static_cast<int32_t>(y * pixels.height / logical.height)};
        }
    }
    const Size frame = frame_size_for(m_screen_info.width, m_screen_info.height, m_orientation);
    return screen_to_frame(screen, frame, m_orientation);
}
