#include "app/game_base.h"

#include <SDL.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

#include "app/application.h"
#include "app/application_listener.h"
#include "app/sdl_event_loop.h"
#include "app/window_events.h"
#include "core/plain_event_loop.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"
#include "os/tick.h"
#include "skin/display/display.h"
#include "skin/display/platform_window.h"
#include "skin/frame_source.h"
#include "skin/render_surface.h"
#include "skin/widget.h"

namespace {
// Stands for the main window's class name.
constexpr std::u16string_view window_class_prefix = u"GlazerClass_";
constexpr std::u16string_view empty_command_line = u"%CommandLineEmpty%";
constexpr std::u16string_view korvel_key = u"HKEY_CURRENT_USER\\Software\\Korvel";

// The desktop window's logical size, and the frame pacing of the two modes.
constexpr int32_t window_width = 480;
constexpr int32_t window_height = 800;
constexpr int32_t direct_interval_ms = 10;
constexpr int32_t ordinary_interval_ms = 40;
// Headless frames have the desktop window's size.
constexpr ScreenInfo headless_screen{window_width, window_height, window_width, window_height, 0, 96};

GameBase* g_window_host = nullptr;

void log_progress(int step) { os::log() << os::tick_count() << u" GameBase " << step << u"\n"; }

std::u16string settings_key(const std::u16string& app_name) { return std::u16string(korvel_key) + u"\\" + app_name; }
}  // namespace

Point clamp_window_place(Point place, Size size, const Rect& usable) {
    if (usable.width() <= 0 || usable.height() <= 0) return place;
    // Whole on the display where it fits; its top-left corner (the title bar) on it where not.
    const int32_t x = std::max(usable.left, std::min(place.x, usable.right - size.width));
    const int32_t y = std::max(usable.top, std::min(place.y, usable.bottom - size.height));
    return {x, y};
}

struct GameBase::Platform {
    std::unique_ptr<VideoSession> video;
    std::unique_ptr<EventLoop> loop;
};

GameBase::Platform GameBase::open_platform(const WindowOptions& options) {
    Platform platform;
    if (!options.headless) {
        std::string error;
        platform.video = VideoSession::open(error);
        if (!platform.video) {
            // The program goes on without a window: a start for a call must still record it.
            std::fprintf(stderr, "quillon-touch: no display (%s); running without a window\n", error.c_str());
            os::log() << u"GameBase: no display: " << os::from_utf8(error) << u"\n";
        }
    }
    if (platform.video) {
        platform.loop = std::make_unique<SdlEventLoop>();
    } else {
        platform.loop = std::make_unique<PlainEventLoop>();
    }
    return platform;
}

GameBase::GameBase(std::u16string app_name, std::unique_ptr<EventLoop> loop)
    : GameBase(std::move(app_name), Platform{nullptr, std::move(loop)}, WindowOptions{true, false}) {}

GameBase::GameBase(std::u16string app_name, const WindowOptions& options)
    : GameBase(std::move(app_name), open_platform(options), options) {}

GameBase::GameBase(std::u16string app_name, Platform platform, const WindowOptions& options)
    : m_app_name(std::move(app_name)), m_video(std::move(platform.video)), m_loop(std::move(platform.loop)) {
    m_window_class_name = std::u16string(window_class_prefix) + m_app_name;
    // The Singleton base has already refused a second host; this guards the raw handle kept for
    // the window procedure.
    if (g_window_host) os::fatal_error(u"Application::Application", u"instance != 0");
    g_window_host = this;
    m_scheduler = std::make_unique<CActiveScheduler>(*m_loop);

    if (!os::reg_read_dword(korvel_key, u"SIPPreference", m_sip_preference)) {
        m_sip_preference = 0;
    }
    log_progress(0);
    log_progress(1);
    log_progress(2);
    create_window(options);
    log_progress(3);

    // The command channel is what other instances look for, as they would look for the window.
    m_channel = std::make_unique<instance_channel::InstanceServer>(
        [this](std::u16string text, instance_channel::Receipt receipt) {
            // The channel's thread only queues a post; the text is handled on the GUI thread.
            auto held = std::make_shared<instance_channel::Receipt>(std::move(receipt));
            m_loop->post_task([this, text = std::move(text), held]() mutable {
                receive_command_line(std::move(text), std::move(*held));
            });
        });
    m_channel_open = m_channel->start(m_window_class_name);
    if (!m_channel_open) os::log() << u"GameBase: no command channel errno=" << errno << u"\n";
    log_progress(4);

    // From here a second instance can find this one.
    Application::release_startup_mutex();
    log_progress(5);
    m_loop->set_idle_handler([this] { return on_idle(); });
    // The edit widgets hand their text entry to the window.
    set_text_input_host(this);
}

GameBase::~GameBase() {
    if (text_input_host() == this) set_text_input_host(nullptr);
    // The channel's thread posts to the loop: it stops before the loop goes.
    m_channel.reset();
    m_loop->set_idle_handler(nullptr);
    save_window_placement();
    if (m_sdl_loop) m_sdl_loop->set_client(nullptr);
    m_scheduler.reset();
    m_display.reset();
    m_window.reset();
    m_events.reset();
    m_loop.reset();
    m_video.reset();
    g_window_host = nullptr;
}

// ---- window and display -----------------------------------------------------------------------

void GameBase::create_window(const WindowOptions& options) {
    if (m_video) {
        const Rect usable = m_video->usable_bounds();
        // A phone: a portrait screen or one too narrow for the desktop window.
        m_phone_layout = options.fullscreen || m_video->driver() == "kmsdrm" ||
                         (usable.width() > 0 && (usable.width() < 600 || usable.height() > usable.width()));
        // Where nothing honours full screen (an X server without a window manager) the window would
        // stay at the size it was made while the frames were laid out for the display: a plain
        // window covering the display takes the place of full screen there.
        m_covering = m_phone_layout && !m_video->honours_fullscreen();
        PlatformWindow::Options window;
        window.title = os::to_utf8(m_app_name);
        window.fullscreen = m_phone_layout && !m_covering;
        // Shown once its display exists: making the renderer may recreate a visible window.
        window.hidden = true;
        window.width = window_width;
        window.height = window_height;
        // The desktop window comes back where the user left it, when that is still on the screen.
        const std::u16string key = settings_key(m_app_name);
        uint32_t x = 0, y = 0, width = 0, height = 0;
        if (os::reg_read_dword(key, u"WindowWidth", width) && os::reg_read_dword(key, u"WindowHeight", height) &&
            width >= 1 && height >= 1 && width <= 16384 && height <= 16384) {
            window.width = static_cast<int32_t>(width);
            window.height = static_cast<int32_t>(height);
        }
        if (usable.height() > 0) window.height = std::min(window.height, usable.height());
        if (usable.width() > 0) window.width = std::min(window.width, usable.width());
        if (os::reg_read_dword(key, u"WindowX", x) && os::reg_read_dword(key, u"WindowY", y)) {
            // Stored as DWORDs: a place left or above the display's origin comes back negative.
            const Point placed{static_cast<int32_t>(x), static_cast<int32_t>(y)};
            const Point kept = clamp_window_place(placed, {window.width, window.height}, usable);
            if (kept != placed) {
                os::log() << u"GameBase: window place " << placed.x << u"," << placed.y
                          << u" moved onto the display at " << kept.x << u"," << kept.y << u"\n";
            }
            window.x = kept.x;
            window.y = kept.y;
            window.has_position = true;
        }
        if (m_covering) {
            const Rect whole = m_video->display_bounds();
            const Rect area = whole.width() > 0 && whole.height() > 0 ? whole : usable;
            window.x = area.left;
            window.y = area.top;
            window.width = area.width();
            window.height = area.height();
            window.has_position = true;
            os::log() << u"GameBase: no window manager honours full screen; the window covers the display "
                      << area.width() << u"x" << area.height() << u"\n";
        }
        m_window = PlatformWindow::create(window);
        if (m_window) {
            m_sdl_loop = static_cast<SdlEventLoop*>(m_loop.get());
            m_events = std::make_unique<WindowEvents>(*this, m_window->id());
            m_sdl_loop->set_client(m_events.get());
            // Text input raises the on-screen keyboard on phones: there only while editing.
            m_text_input_always = !m_phone_layout;
            if (m_text_input_always) {
                SDL_StartTextInput();
            } else {
                SDL_StopTextInput();
            }
        }
    }
    m_screen_info = take_screen_info();
    m_orientation = m_screen_info.orientation == 4 ? 0 : m_screen_info.orientation;
    create_display();
    if (m_window) m_window->show();
}

void GameBase::create_display() {
    m_display.reset();
    DisplayParams params;
    params.width = m_screen_info.width;
    params.height = m_screen_info.height;
    params.orientation = m_orientation;
    if (m_window) {
        m_display = m_window->create_display(params);
    } else {
        m_display = create_null_display(params);
    }
    m_force_frame = true;
}

ScreenInfo GameBase::take_screen_info() const {
    if (!m_window) return headless_screen;
    ScreenInfo info;
    const Size pixels = m_window->pixel_size();
    info.width = info.usable_width = pixels.width;
    info.height = info.usable_height = pixels.height;
    info.orientation = display_orientation();
    info.dpi = m_window->dpi();
    return info;
}

DisplayInfo GameBase::display_info() const {
    const Size frame = frame_size_for(m_screen_info.width, m_screen_info.height, m_orientation);
    return DisplayInfo{frame.width, frame.height, m_screen_info.dpi, m_orientation};
}

void GameBase::resolution_changed() {
    const ScreenInfo fresh = take_screen_info();
    if (fresh != m_screen_info) {
        // The compositor turns the window for us: a new display orientation is the frame's own.
        const bool turned = fresh.orientation != m_screen_info.orientation;
        m_screen_info = fresh;
        if (turned) {
            m_orientation = fresh.orientation;
            if (m_display) m_display->set_orientation(m_orientation);
        }
        os::log() << u"Application::ResolutionChanged 2\n";
        if (m_listener) m_listener->on_resolution_changed();
    }
    lay_out();
}

void GameBase::lay_out() {
    if (m_display) m_display->resize(m_screen_info.width, m_screen_info.height);
    m_force_frame = true;
    // A window that covers the display in place of full screen stays as it is.
    if (!m_window || !m_phone_layout || m_covering) return;
    // On a phone the window covers the screen; a text being edited or a windowed request with the
    // panel leaves room for the shell's panel and keyboard.
    const bool full = !(m_edited || (m_windowed && m_taskbar));
    if (full != m_window->is_fullscreen()) m_window->set_fullscreen(full);
}

void GameBase::save_window_placement() {
    if (!m_window || m_phone_layout || m_window->is_fullscreen() || m_window->is_minimised()) return;
    const Size size = m_window->logical_size();
    const Point position = m_window->position();
    if (size.width <= 0 || size.height <= 0) return;
    const std::u16string key = settings_key(m_app_name);
    os::reg_write_dword(key, u"WindowX", static_cast<uint32_t>(position.x));
    os::reg_write_dword(key, u"WindowY", static_cast<uint32_t>(position.y));
    os::reg_write_dword(key, u"WindowWidth", static_cast<uint32_t>(size.width));
    os::reg_write_dword(key, u"WindowHeight", static_cast<uint32_t>(size.height));
}

// ---- window operations ------------------------------------------------------------------------

void GameBase::set_windowed(bool taskbar) {
    if (m_windowed && m_taskbar == taskbar) return;
    m_windowed = true;
    m_taskbar = taskbar;
    if (!m_edited) {
        m_direct = false;
        lay_out();
    }
}

void GameBase::set_orientation(int32_t orientation) {
    orientation &= 3;
    if (orientation == m_orientation && !m_windowed && m_display) return;
    m_windowed = false;
    m_orientation = orientation;
    // The renderer stays: making a new one may recreate the window on some drivers.
    if (m_display) m_display->set_orientation(orientation);
    m_force_frame = true;
    m_direct = m_edited == nullptr;
    lay_out();
}

bool GameBase::is_active() const { return m_window && !m_inactive && !m_paused; }

bool GameBase::bring_to_front() {
    if (!m_window) return false;
    m_window->bring_to_front();
    return true;
}

void GameBase::minimise() {
    if (!m_window) return;
    m_window->minimise();
    m_inactive = true;
}

void GameBase::show_message(std::u16string_view text) {
    const std::string utf8 = os::to_utf8(text);
    std::fprintf(stderr, "%s: %s\n", os::to_utf8(m_app_name).c_str(), utf8.c_str());
    os::log() << u"message: " << text << u"\n";
    if (m_window) m_window->show_message(os::to_utf8(m_app_name), utf8);
}

void GameBase::start_text_input() {
    if (!m_window || !m_edited) return;
    // The area in window coordinates, so that an input method or on-screen keyboard keeps clear.
    const Size pixels = m_window->pixel_size();
    const Size logical = m_window->logical_size();
    const Point at = m_edited->position();
    const Size size = m_edited->size();
    auto scale = [](int32_t value, int32_t to, int32_t from) {
        return from > 0 ? static_cast<int>(static_cast<int64_t>(value) * to / from) : value;
    };
    SDL_Rect area{scale(at.x, logical.width, pixels.width), scale(at.y, logical.height, pixels.height),
                  scale(size.width, logical.width, pixels.width), scale(size.height, logical.height, pixels.height)};
    SDL_SetTextInputRect(&area);
    SDL_StartTextInput();
}

void GameBase::set_edit_widget(Widget* widget, bool create) {
    const bool started = !m_edited && widget;
    const bool ended = m_edited && !widget;
    m_edited = widget;
    if (started) {
        // Text entry paces frames as ordinary painting does.
        m_direct = false;
        lay_out();
    } else if (ended) {
        if (!m_windowed) m_direct = true;
        lay_out();
        // The keyboard's state when editing ended is the preference for the next edit. Where the
        // platform cannot tell (Linux has no query), it stays what it was.
        const int32_t keyboard = m_window ? m_window->screen_keyboard_state() : -1;
        if (keyboard >= 0) m_sip_preference = static_cast<uint32_t>(keyboard);
        os::reg_write_dword(korvel_key, u"SIPPreference", m_sip_preference);
        if (m_window && !m_text_input_always) SDL_StopTextInput();
    }
    if (create && widget) start_text_input();
}

void GameBase::move_edit(Widget* widget) {
    if (widget && widget == m_edited) start_text_input();
}

// ---- frames -----------------------------------------------------------------------------------

void GameBase::set_frame_source(FrameSource* source) {
    m_frame_source = source;
    m_force_frame = true;
}

bool GameBase::frames_wanted() {
    if (!m_display || !m_frame_source || m_paused) return false;
    // A desktop window that lost the focus is still seen; a minimised or hidden one is not.
    if (m_window && !m_shown) return false;
    return m_force_frame || m_frame_source->needs_frame();
}

int32_t GameBase::on_idle() {
    int32_t wait = m_display ? m_display->service() : -1;
    if (!frames_wanted()) {
        m_resting = true;
        return wait;
    }
    const int32_t interval = m_direct ? direct_interval_ms : ordinary_interval_ms;
    if (m_resting) {
        // Time spent at rest is no stall: the first frame after it advances by one interval, so
        // an animation that starts now starts from its beginning.
        m_resting = false;
        m_last_frame_tick = os::tick_count() - static_cast<uint32_t>(interval);
    }
    const int32_t since = static_cast<int32_t>(os::tick_count() - m_last_frame_tick);
    if (since >= 0 && since < interval) {
        const int32_t left = interval - since;
        return wait < 0 ? left : std::min(wait, left);
    }
    frame_tick();
    return wait < 0 ? interval : std::min(wait, interval);
}

void GameBase::frame_tick() {
    const uint32_t now = os::tick_count();
    const double elapsed = std::clamp(static_cast<int32_t>(now - m_last_frame_tick) * 0.001, 0.001, 0.1);
    m_last_frame_tick = now;
    if (!m_frame_source || !m_display) return;
    m_frame_source->tick(elapsed);
    if (!m_frame_source->needs_frame() && !m_force_frame) return;
    m_force_frame = false;
    const Size size = m_display->frame_size();
    if (size.width <= 0 || size.height <= 0) return;
    if (!m_back_buffer || m_back_buffer->size() != size) m_back_buffer = create_bitmap(size.width, size.height);
    if (!m_back_buffer) return;
    RenderSurface surface(m_back_buffer.get());
    m_frame_source->compose(surface);
    m_display->present(*m_back_buffer);
}

// ---- commands ---------------------------------------------------------------------------------

void GameBase::receive_command_line(std::u16string text, instance_channel::Receipt receipt) {
    if (m_quitting) return;
    if (text == empty_command_line) text.clear();
    m_commands.push_back(std::move(text));
    m_receipts.push_back(std::move(receipt));
    m_loop->post_task([this] { deliver_next_command(); });
}

void GameBase::deliver_next_command() {
    if (m_commands.empty()) return;
    const std::u16string text = std::move(m_commands.front());
    instance_channel::Receipt receipt = std::move(m_receipts.front());
    m_commands.pop_front();
    m_receipts.pop_front();
    // Quitting began after the text arrived: the sender hears nothing and starts after us.
    if (m_quitting) return;
    // A sender that gave up waiting (this process was stopped, or too busy) has withdrawn it.
    if (!receipt.claim()) {
        os::log() << u"GameBase: a command line withdrawn by its sender is not carried out: " << text << u"\n";
        return;
    }
    if (m_listener) {
        m_listener->on_command(text);
    } else {
        bring_to_front();
    }
    receipt.confirm();
}

void GameBase::run() { m_loop->run(); }

void GameBase::post_quit() {
    m_quitting = true;
    // The socket goes at once, so a start from now on waits for this process to end.
    if (m_channel) m_channel->stop();
    m_loop->quit();
}
