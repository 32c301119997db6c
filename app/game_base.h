#pragma once
// The window host: the program's one window, the GUI thread's event loop and the scheduler, the
// queue of command lines handed over by other instances, and the window procedure that turns the
// platform's events into keys, pointer events, activation and screen changes.
//
// With a display the loop is SDL's event queue (SdlEventLoop) and frames go to the window; without
// one (no display server, --headless, or a loop given by a test) the loop is the given or a plain
// one and frames go to a null display, which keeps the last one for QUILLON_SCREENSHOT.
//
// Frames: a frame is composed only while the frame source needs one. Then the loop paces them every
// 10 ms (direct mode) or 40 ms (ordinary mode: a text is being edited, or windowed), and the elapsed
// time handed to tick() is clamped to 0.001..0.1 s; when nothing needs a frame the loop blocks until
// the next event, so an idle program costs nothing.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

#include "app/instance_channel.h"
#include "core/active_scheduler.h"
#include "core/event_loop.h"
#include "core/singleton.h"
#include "skin/display_info.h"
#include "skin/geometry.h"
#include "skin/key_event.h"
#include "skin/text_input_host.h"

class ApplicationListener;
class Display;
class FrameSource;
class InputSink;
class MemoryBitmap;
class PlatformWindow;
class SdlEventLoop;
class VideoSession;
class WindowEvents;
class Widget;

struct ScreenInfo {
    int32_t width = 0;
    int32_t height = 0;
    int32_t usable_width = 0;
    int32_t usable_height = 0;
    // The display's own orientation (0..3); 4 until the display reports one.
    int32_t orientation = 4;
    int32_t dpi = 96;
    friend bool operator==(const ScreenInfo&, const ScreenInfo&) = default;
};

struct WindowOptions {
    // No window even when a display exists.
    bool headless = false;
    // Full screen even on a desktop; phone-sized displays are always full screen.
    bool fullscreen = false;
};

// A remembered window place moved onto the usable area of the display: whole where the window fits,
// with its top-left corner on the display where it does not.
Point clamp_window_place(Point place, Size size, const Rect& usable);

class GameBase : public Singleton<GameBase>, public TextInputHost {
public:
    // Headless, over the loop the GUI thread will run (tests, and the program without a display).
    GameBase(std::u16string app_name, std::unique_ptr<EventLoop> loop);
    // With a window when a display can be reached; headless (with one line on standard error and
    // in the log) when not.
    GameBase(std::u16string app_name, const WindowOptions& options);
    ~GameBase() override;

    const std::u16string& app_name() const { return m_app_name; }
    const std::u16string& window_class_name() const { return m_window_class_name; }
    uint32_t sip_preference() const { return m_sip_preference; }
    CActiveScheduler& scheduler() { return *m_scheduler; }
    EventLoop& loop() { return *m_loop; }
    bool can_be_found() const { return m_channel_open; }
    bool has_window() const { return m_window != nullptr; }

    // The receiver of on_command and the other reports; not owned, nullptr for none.
    void set_listener(ApplicationListener* listener) { m_listener = listener; }
    ApplicationListener* listener() const { return m_listener; }
    // What fills the screen, and where input goes; not owned, nullptr for none.
    void set_frame_source(FrameSource* source);
    void set_input_sink(InputSink* sink) { m_input = sink; }

    // A command line from another instance, on the GUI thread: queued, then delivered by a post
    // of its own so that the listener sees the texts one at a time in arrival order. The receipt
    // is confirmed once the listener has acted on the text; once quitting has begun nothing more
    // is taken and the receipt is dropped, so the sender tries the next instance instead.
    void receive_command_line(std::u16string text, instance_channel::Receipt receipt = {});
    const std::deque<std::u16string>& command_queue() const { return m_commands; }

    // The screen as the window has it, and what skins are loaded for (the frame's size).
    const ScreenInfo& screen_info() const { return m_screen_info; }
    DisplayInfo display_info() const;
    int32_t orientation() const { return m_orientation; }

    // Window operations -------------------------------------------------------------------------
    // Ordinary mode; on a full-screen window the desktop's panel shows when taskbar is true.
    void set_windowed(bool taskbar);
    void set_direct_input(bool on) { m_direct_input = on; }
    // Turns the frame by quarter turns (0..3) on the screen; back to direct mode.
    void set_orientation(int32_t orientation);
    // No frames until the next input or activation.
    void pause_rendering() { m_paused = true; }
    // The window has the focus and rendering is not paused.
    bool is_active() const;
    // Shows the window restored, raised and focused; false when there is no window.
    bool bring_to_front();
    // Minimised, the window is not active.
    void minimise();
    // A message box over the window (and always on standard error and in the log).
    void show_message(std::u16string_view text);
    // Posts the quit message; any thread. Stops taking command lines from other instances, then
    // quits the loop.
    void quit() { post_quit(); }
    void post_quit();
    // A text widget starts (widget) or ends (nullptr) being edited: SDL text input, which raises
    // the on-screen keyboard on phones, and the "SIPPreference" kept in the registry.
    void set_edit_widget(Widget* widget, bool create) override;
    // The edited widget moved: the text input area follows.
    void move_edit(Widget* widget) override;
    bool is_editing() const { return m_edited != nullptr; }
    bool is_direct_mode() const { return m_direct; }

    // Runs the message loop until the quit message.
    void run();
    bool is_quitting() const { return m_quitting.load(); }

    // One frame now, as the loop makes them (tests and benchmarks drive it directly).
    void frame_tick();
    // The display frames go to; nullptr only while none could be made.
    Display* display() { return m_display.get(); }
    // The SDL loop when there is a window (tests push synthetic events through it).
    SdlEventLoop* sdl_loop() { return m_sdl_loop; }

private:
    struct Platform;
    GameBase(std::u16string app_name, Platform platform, const WindowOptions& options);
    static Platform open_platform(const WindowOptions& options);

    void deliver_next_command();
    void create_window(const WindowOptions& options);
    void create_display();
    ScreenInfo take_screen_info() const;
    void resolution_changed();
    void lay_out();
    void save_window_placement();
    int32_t on_idle();
    bool frames_wanted();
    void start_text_input();

    // The window procedure (window_events.cpp).
    friend class WindowEvents;
    void activate(bool active);
    void close_requested();
    void key(int32_t platform_key, int32_t scan_code, bool pressed, bool repeat);
    void text(std::u16string_view characters);
    void pointer_down(Point point);
    void pointer_move(Point point);
    void pointer_up(Point point);
    void pointer_lost();
    // From window coordinates (logical pixels) to frame pixels.
    Point to_frame(double x, double y) const;

    std::u16string m_app_name;
    std::u16string m_window_class_name;
    std::unique_ptr<VideoSession> m_video;
    std::unique_ptr<EventLoop> m_loop;
    SdlEventLoop* m_sdl_loop = nullptr;
    std::unique_ptr<WindowEvents> m_events;
    std::unique_ptr<CActiveScheduler> m_scheduler;
    uint32_t m_sip_preference = 0;
    std::deque<std::u16string> m_commands;
    std::deque<instance_channel::Receipt> m_receipts;  // beside m_commands
    std::atomic<bool> m_quitting{false};
    ApplicationListener* m_listener = nullptr;
    FrameSource* m_frame_source = nullptr;
    InputSink* m_input = nullptr;
    std::unique_ptr<instance_channel::InstanceServer> m_channel;
    bool m_channel_open = false;

    std::unique_ptr<PlatformWindow> m_window;
    std::unique_ptr<Display> m_display;
    std::unique_ptr<MemoryBitmap> m_back_buffer;
    ScreenInfo m_screen_info;
    bool m_phone_layout = false;  // full screen unless windowed with the panel or editing
    bool m_covering = false;      // a plain window over the whole display stands for full screen
    int32_t m_orientation = 0;
    bool m_inactive = false;
    bool m_paused = false;
    bool m_shown = true;
    bool m_windowed = false;
    bool m_taskbar = false;
    bool m_direct = true;
    bool m_direct_input = false;
    bool m_force_frame = true;
    bool m_text_input_always = false;
    Widget* m_edited = nullptr;
    uint32_t m_last_frame_tick = 0;
    bool m_resting = true;  // the loop slept: no frame was wanted
    bool m_pointer_down = false;
    // The finger that drives the pointer while m_finger_down; the others are ignored.
    bool m_finger_down = false;
    int64_t m_finger = 0;
    Point m_last_pointer{-1000000, -1000000};
};
