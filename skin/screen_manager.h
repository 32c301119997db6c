#pragma once
// The stack of open screens: full screens and the overlays (dialogs, menus) laid over them. It
// composes each frame into the screen-sized surface the window hands it, dims what lies under an
// overlay (to half brightness in eight frames, and back), and plays a screen's visibility
// animation as the transition when it is opened or closed; opening a screen whose closing is still
// running turns that transition around instead of starting another.
//
// The window drives it: tick (elapsed seconds) then, when needs_frame, compose; input enters
// through on_key / on_text / on_pointer_* and goes to the top screen only. A screen that stops
// being the top one has its pointer press cancelled, so no widget stays pressed behind a dialog.
//
// Screens are owned by whoever created them; the stack only refers to them, and a screen must be
// removed before it is destroyed. Everything here runs on the GUI thread.
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

#include "skin/color.h"
#include "skin/event_sink.h"
#include "skin/frame_source.h"
#include "skin/frame_time_display.h"
#include "skin/input_sink.h"
#include "skin/key_event.h"
#include "skin/render_surface.h"

class VisibilityAnimation;
class Widget;

class ScreenStackListener {
public:
    virtual ~ScreenStackListener() = default;
    virtual void on_screen_pushed(Widget* /*screen*/, bool /*overlay*/) {}
    virtual void on_screen_removed(Widget* /*screen*/) {}
};

class ScreenManager : public FrameSource, public InputSink {
public:
    explicit ScreenManager(Size screen_size);
    ~ScreenManager() override;
    ScreenManager(const ScreenManager&) = delete;
    ScreenManager& operator=(const ScreenManager&) = delete;

    // A new screen size (rotation, resize): the screens are laid out again at the next frame.
    void set_screen_size(Size size);
    Size screen_size() const { return m_size; }

    void push_screen(Widget* screen, bool overlay);
    // False (and nothing changed) when the screen is not on the stack.
    bool remove_screen(Widget* screen);
    bool contains(const Widget* screen) const;
    Widget* top() const;
    bool top_is_overlay() const;
    size_t depth() const { return m_stack.size(); }

    void compose(RenderSurface& frame) override;
    bool needs_frame() override;
    void tick(double elapsed_seconds) override;

    // Input from the window, in screen pixels and the program's key codes.
    bool on_key(const KeyEvent& event) override;
    void on_text(std::u16string_view text) override;
    void on_pointer_down(int32_t x, int32_t y) override;
    void on_pointer_move(int32_t x, int32_t y) override;
    void on_pointer_up(int32_t x, int32_t y, bool cancelled) override;

    void set_listener(ScreenStackListener* listener) { m_listener = listener; }
    void set_background(Color color) { m_background = color; }
    Color background() const { return m_background; }
    // 128 (half brightness) .. 256 (none).
    int32_t dim_level() const { return m_dim; }
    bool is_transition_running() const;
    const VisibilityAnimation* transition() const { return m_transition.get(); }
    // The snapshot of what lies under the top entry (empty when there is none).
    const RenderSurface& screen_surface() const { return m_surface; }

    bool frame_time_display() const { return m_show_frame_time; }
    void set_frame_time_display(bool on);

private:
    struct Entry {
        Widget* screen;
        bool overlay;
    };
    void lay_out(Widget& screen);
    // Draws a screen alone into the screen surface (the background where it does not draw).
    void snapshot(Widget& screen);
    // The full screen the overlays on top lie over; none when the top is a full screen.
    Widget* screen_under_overlays() const;
    void refresh_snapshot();
    void stop_transition();
    void start_transition(Widget& screen, int direction);
    // The top screen changed: the one left loses its pointer press and text input follows the new one.
    void top_changed(Widget* previous);
    void dump_first_time(Widget& screen);
    void draw_diagnostics(RenderSurface& frame);

    Size m_size;
    std::vector<Entry> m_stack;
    RenderSurface m_surface;
    bool m_has_snapshot = false;
    std::unique_ptr<VisibilityAnimation> m_transition;
    uint64_t m_transition_target = 0;
    int32_t m_dim = 256;
    Color m_background{0, 0, 0, 255};
    bool m_redraw_pending = true;
    ScreenStackListener* m_listener = nullptr;
    std::vector<uint64_t> m_dumped;
    Widget* m_pointer_screen = nullptr;
    bool m_ctrl_down = false;
    bool m_show_frame_time = false;
    FrameTimeDisplay m_frame_time;
};
