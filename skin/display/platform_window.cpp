#include "skin/display/platform_window.h"

#include <SDL.h>

#include <cstdlib>
#include <cstring>

#include "os/log.h"
#include "os/text.h"
#include "skin/display/x11_window_manager.h"

namespace {

void log_sdl_error(std::u16string_view what) { os::log() << what << u": " << os::from_utf8(SDL_GetError()) << u"\n"; }

bool is_stand_in_driver(const char* name) {
    return name && (std::strcmp(name, "offscreen") == 0 || std::strcmp(name, "dummy") == 0);
}

// Frames go to the window through one streaming texture in the frame's own format.
class SdlDisplay final : public Display {
public:
    SdlDisplay(const DisplayParams& params, SDL_Renderer* renderer) : Display(params), m_renderer(renderer) {}
    ~SdlDisplay() override {
        if (m_texture) SDL_DestroyTexture(m_texture);
        SDL_DestroyRenderer(m_renderer);
    }

    void refresh() override {
        if (m_texture) copy_and_present();
    }

protected:
    bool show(const Bitmap& frame) override {
        if (frame.width() <= 0 || frame.height() <= 0) return false;
        if (!m_texture || m_texture_size != frame.size()) {
            if (m_texture) SDL_DestroyTexture(m_texture);
            m_texture = SDL_CreateTexture(m_renderer, SDL_PIXELFORMAT_RGB565, SDL_TEXTUREACCESS_STREAMING,
                                          frame.width(), frame.height());
            m_texture_size = frame.size();
            if (!m_texture) {
                log_sdl_error(u"SDL_CreateTexture");
                return false;
            }
        }
        if (SDL_UpdateTexture(m_texture, nullptr, frame.row(0), frame.pitch()) != 0) {
            log_sdl_error(u"SDL_UpdateTexture");
            return false;
        }
        return copy_and_present();
    }

private:
    bool copy_and_present() {
        int width = 0, height = 0;
        if (SDL_GetRendererOutputSize(m_renderer, &width, &height) != 0 || width <= 0 || height <= 0) return false;
        // A quarter turn swaps the sides: the texture's rectangle is centred so that, turned about
        // its centre, it covers the output.
        SDL_Rect target{0, 0, width, height};
        if (orientation() & 1) target = {(width - height) / 2, (height - width) / 2, height, width};
        const Size expected = frame_size_for(width, height, orientation());
        // The output is larger than the frame only until the next frame comes at the new size.
        if (expected != m_texture_size) SDL_RenderClear(m_renderer);
        if (SDL_RenderCopyEx(m_renderer, m_texture, nullptr, &target, 90.0 * orientation(), nullptr, SDL_FLIP_NONE) !=
            0) {
            log_sdl_error(u"SDL_RenderCopyEx");
            return false;
        }
        SDL_RenderPresent(m_renderer);
        return true;
    }

    SDL_Renderer* m_renderer;
    SDL_Texture* m_texture = nullptr;
    Size m_texture_size;
};

}  // namespace

// ---- VideoSession -----------------------------------------------------------------------------

std::unique_ptr<VideoSession> VideoSession::open(std::string& error) {
    // Signals belong to the program (SIGINT/SIGTERM end it through its own shutdown order), and
    // the window's close button is a request the program may refuse.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_QUIT_ON_LAST_WINDOW_CLOSE, "0");
    // A touch is delivered once, as a touch: the window ignores the mouse events SDL would make
    // from it, and SDL makes no touches from the mouse.
    SDL_SetHint(SDL_HINT_MOUSE_TOUCH_EVENTS, "0");
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0) {
        error = SDL_GetError();
        return nullptr;
    }
    const char* driver = SDL_GetCurrentVideoDriver();
    const char* wanted = std::getenv("SDL_VIDEODRIVER");
    if (is_stand_in_driver(driver) && !(wanted && std::strstr(wanted, driver))) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = "no X11, Wayland or KMS display found";
        return nullptr;
    }
    std::unique_ptr<VideoSession> session(new VideoSession());
    session->m_driver = driver ? driver : "";
    return session;
}

VideoSession::~VideoSession() { SDL_QuitSubSystem(SDL_INIT_VIDEO); }

Rect VideoSession::usable_bounds() const {
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayUsableBounds(0, &bounds) != 0 && SDL_GetDisplayBounds(0, &bounds) != 0) return {};
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

Rect VideoSession::display_bounds() const {
    SDL_Rect bounds{0, 0, 0, 0};
    if (SDL_GetDisplayBounds(0, &bounds) != 0) return {};
    return {bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
}

bool VideoSession::honours_fullscreen() const { return m_driver != "x11" || x11_has_window_manager(); }

int32_t display_orientation() {
    const char* driver = SDL_GetCurrentVideoDriver();
    if (!driver || std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0) return 0;
    switch (SDL_GetDisplayOrientation(0)) {
        case SDL_ORIENTATION_LANDSCAPE_FLIPPED:
        case SDL_ORIENTATION_PORTRAIT_FLIPPED:
            return 2;
        default:
            return 0;
    }
}

// ---- PlatformWindow ---------------------------------------------------------------------------

struct PlatformWindow::Native {
    SDL_Window* window = nullptr;
    ~Native() {
        if (window) SDL_DestroyWindow(window);
    }
};

PlatformWindow::PlatformWindow(std::unique_ptr<Native> native) : m_native(std::move(native)) {}

PlatformWindow::~PlatformWindow() = default;

std::unique_ptr<PlatformWindow> PlatformWindow::create(const Options& options) {
    uint32_t flags = SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_RESIZABLE;
    if (options.fullscreen) flags |= SDL_WINDOW_FULLSCREEN_DESKTOP;
    flags |= options.hidden ? SDL_WINDOW_HIDDEN : SDL_WINDOW_SHOWN;
    const int x = options.has_position ? options.x : SDL_WINDOWPOS_UNDEFINED;
    const int y = options.has_position ? options.y : SDL_WINDOWPOS_UNDEFINED;
    auto native = std::make_unique<Native>();
    native->window = SDL_CreateWindow(options.title.c_str(), x, y, options.width, options.height, flags);
    if (!native->window) {
        log_sdl_error(u"SDL_CreateWindow");
        return nullptr;
    }
    // Any size works, down to a single pixel; the frame follows it.
    SDL_SetWindowMinimumSize(native->window, 1, 1);
    return std::unique_ptr<PlatformWindow>(new PlatformWindow(std::move(native)));
}

uint32_t PlatformWindow::id() const { return SDL_GetWindowID(m_native->window); }

Size PlatformWindow::pixel_size() const {
    int width = 0, height = 0;
    SDL_GetWindowSizeInPixels(m_native->window, &width, &height);
    return {width, height};
}

Size PlatformWindow::logical_size() const {
    int width = 0, height = 0;
    SDL_GetWindowSize(m_native->window, &width, &height);
    return {width, height};
}

Point PlatformWindow::position() const {
    int x = 0, y = 0;
    SDL_GetWindowPosition(m_native->window, &x, &y);
    return {x, y};
}

int32_t PlatformWindow::dpi() const {
    const Size pixels = pixel_size();
    const Size logical = logical_size();
    if (logical.height > 0 && pixels.height > logical.height) return 96 * pixels.height / logical.height;
    float vertical = 0;
    const int display = SDL_GetWindowDisplayIndex(m_native->window);
    if (SDL_GetDisplayDPI(display < 0 ? 0 : display, nullptr, nullptr, &vertical) == 0 && vertical >= 48 &&
        vertical <= 960) {
        return static_cast<int32_t>(vertical + 0.5f);
    }
    return 96;
}

bool PlatformWindow::is_fullscreen() const {
    return (SDL_GetWindowFlags(m_native->window) & SDL_WINDOW_FULLSCREEN) != 0;
}

bool PlatformWindow::is_minimised() const { return (SDL_GetWindowFlags(m_native->window) & SDL_WINDOW_MINIMIZED) != 0; }

bool PlatformWindow::is_shown() const {
    const uint32_t flags = SDL_GetWindowFlags(m_native->window);
    return (flags & SDL_WINDOW_SHOWN) && !(flags & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED));
}

int32_t PlatformWindow::screen_keyboard_state() const {
    if (!SDL_HasScreenKeyboardSupport()) return -1;
    return SDL_IsScreenKeyboardShown(m_native->window) ? 1 : 0;
}

void PlatformWindow::set_fullscreen(bool fullscreen) {
    if (SDL_SetWindowFullscreen(m_native->window, fullscreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) {
        log_sdl_error(u"SDL_SetWindowFullscreen");
    }
}

void PlatformWindow::show() { SDL_ShowWindow(m_native->window); }

void PlatformWindow::hide() { SDL_HideWindow(m_native->window); }

void PlatformWindow::bring_to_front() {
    SDL_ShowWindow(m_native->window);
    SDL_RestoreWindow(m_native->window);
    SDL_RaiseWindow(m_native->window);
}

void PlatformWindow::minimise() { SDL_MinimizeWindow(m_native->window); }

void PlatformWindow::show_message(const std::string& title, const std::string& text) {
    if (SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_ERROR, title.c_str(), text.c_str(), m_native->window) != 0) {
        log_sdl_error(u"SDL_ShowSimpleMessageBox");
    }
}

std::unique_ptr<Display> PlatformWindow::create_display(DisplayParams& params) {
    normalise_swap_effect(params);
    params.orientation &= 3;
    os::log() << u"Initializing video driver...\n";
    SDL_Renderer* renderer = SDL_CreateRenderer(m_native->window, -1, SDL_RENDERER_ACCELERATED);
    if (!renderer) {
        log_sdl_error(u"SDL_CreateRenderer");
        renderer = SDL_CreateRenderer(m_native->window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (!renderer) {
        log_sdl_error(u"SDL_CreateRenderer software");
        os::log() << u" Failed to initialize driver\n";
        log_display_created(params, false);
        return nullptr;
    }
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    os::log() << u"Driver initialized!\n";
    log_display_created(params, true);
    return std::make_unique<SdlDisplay>(params, renderer);
}
