#pragma once
// The SDL side of the display layer: the video session (SDL's video subsystem, opened once per
// process), the program's one window, and the display that presents frames in it through one
// streaming RGB565 texture, so our code never converts a pixel.
//
// Sizes: a window has a logical size (what the desktop places, SDL's window coordinates) and a
// pixel size (its drawable; larger on HiDPI screens). Frames are composed at the pixel size.
#include <cstdint>
#include <memory>
#include <string>

#include "skin/display/display.h"
#include "skin/geometry.h"

class VideoSession {
public:
    // Opens SDL's video. Nullptr when no display server can be reached (no X, no Wayland, no
    // KMS), with the reason in `error`. SDL's offscreen and dummy drivers, which it falls back on
    // by itself, count as no display unless SDL_VIDEODRIVER names them.
    static std::unique_ptr<VideoSession> open(std::string& error);
    ~VideoSession();
    VideoSession(const VideoSession&) = delete;
    VideoSession& operator=(const VideoSession&) = delete;

    const std::string& driver() const { return m_driver; }
    // The primary display's area for windows, in logical pixels.
    Rect usable_bounds() const;
    // The whole primary display, in logical pixels.
    Rect display_bounds() const;
    // Whether anything will honour a request for full screen. An X server without a window
    // manager leaves a window at the size it was made, whatever it asked for; Wayland and KMS
    // always answer.
    bool honours_fullscreen() const;

private:
    VideoSession() = default;
    std::string m_driver;
};

class PlatformWindow {
public:
    struct Options {
        std::string title;
        int32_t x = 0;
        int32_t y = 0;
        bool has_position = false;  // else the desktop places it
        int32_t width = 480;        // logical pixels
        int32_t height = 800;
        bool fullscreen = false;
        bool hidden = false;
    };

    // Nullptr when SDL refuses (logged with SDL's reason).
    static std::unique_ptr<PlatformWindow> create(const Options& options);
    ~PlatformWindow();
    PlatformWindow(const PlatformWindow&) = delete;
    PlatformWindow& operator=(const PlatformWindow&) = delete;

    uint32_t id() const;
    Size pixel_size() const;
    Size logical_size() const;
    Point position() const;
    // Vertical logical pixels per inch of the pixels we draw: 96 scaled by the HiDPI ratio, or what
    // the display reports when there is no ratio; 96 when it reports nothing believable.
    int32_t dpi() const;
    bool is_fullscreen() const;
    bool is_minimised() const;
    bool is_shown() const;
    // 1 while the on-screen keyboard shows, 0 while it does not, -1 where the platform cannot tell.
    int32_t screen_keyboard_state() const;

    void set_fullscreen(bool fullscreen);
    void show();
    void hide();
    // Restores, raises and focuses.
    void bring_to_front();
    void minimise();
    // A modal message box over the window; returns when the user has read it.
    void show_message(const std::string& title, const std::string& text);

    // The display presenting into this window, with the creation logged as the display layer does.
    std::unique_ptr<Display> create_display(DisplayParams& params);

private:
    struct Native;
    explicit PlatformWindow(std::unique_ptr<Native> native);
    std::unique_ptr<Native> m_native;
};

// The display's orientation as the platform reports it: 0..3 quarter turns, 0 when unknown. The
// compositor (X, Wayland) turns our window for us, so it is 0 there.
int32_t display_orientation();
