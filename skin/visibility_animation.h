#pragma once
// How a widget appears and disappears, and how a screen replaces another: "scale", "pop", the
// slides "right", "bottom", "left", "top" and "flip".
//
// Every animation keeps a progress from 0 (hidden) to 1 (shown) and a direction (+1 showing, -1
// hiding, 0 idle); tick moves the progress by direction × speed × 5 × elapsed seconds. A run lasts
// about a quarter of a second and the motion follows an ease-out curve, so that the picture
// arrives quickly and settles softly; hiding plays the same curve backwards, and reversing half-way
// continues from where the picture is.
//
// While it runs the animation draws the widget from two images it holds: the earlier picture (the
// screen being left, when it serves as a screen transition) and the widget's own picture. Both are
// released when the run ends.
#include <memory>
#include <string>
#include <string_view>

#include "skin/geometry.h"
#include "skin/render_surface.h"

class Widget;

class VisibilityAnimation {
public:
    // None for a keyword that names no animation.
    static std::unique_ptr<VisibilityAnimation> create(std::u16string_view keyword);
    static bool is_keyword(std::u16string_view keyword);

    virtual ~VisibilityAnimation() = default;
    VisibilityAnimation(const VisibilityAnimation&) = delete;
    VisibilityAnimation& operator=(const VisibilityAnimation&) = delete;

    const std::u16string& keyword() const { return m_keyword; }
    // Progress per second is speed × 5.
    double speed() const { return m_speed; }
    double progress() const { return m_progress; }
    int direction() const { return m_direction; }
    bool is_running() const { return m_direction != 0; }

    // A plain show: runs toward 1 from wherever the progress is; the widget's picture is taken at
    // the first frame drawn (the widget is laid out by then).
    void show();
    // A plain hide: the widget's picture is taken now, while it still looks shown.
    void hide(Widget& widget);
    // A screen transition: `earlier` (may be none) is what the widget replaces or reveals; the
    // widget's picture is taken now. Direction +1 opens (progress from 0), -1 closes (from 1).
    void start_transition(Widget& widget, const RenderSurface* earlier, int direction);
    // Turns a running animation around.
    void reverse();
    // Jumps to the end of the run (or to shown / hidden when idle) and releases the images.
    void finish(bool shown);
    // Advances a running animation; false once it has stopped.
    bool advance(double elapsed_seconds);
    // Draws the widget's current picture with its top-left corner at `origin`.
    void draw(RenderSurface& target, Point origin, Widget& widget);
    // The same from the pictures already taken (a screen transition, whose widget may be gone).
    void draw_captured(RenderSurface& target, Point origin);

    const RenderSurface& earlier_image() const { return m_earlier; }
    const RenderSurface& image() const { return m_image; }

protected:
    VisibilityAnimation(std::u16string keyword, double speed);
    // `t` is the eased progress, 0 hidden .. 1 shown; `size` is the widget's picture size.
    virtual void draw_frame(RenderSurface& target, Point origin, Size size, double t) = 0;
    bool has_earlier() const { return m_has_earlier; }

    RenderSurface m_earlier;
    RenderSurface m_image;

private:
    void capture(Widget& widget);
    void release_images();

    std::u16string m_keyword;
    double m_speed;
    double m_progress = 1.0;
    int m_direction = 0;
    bool m_has_earlier = false;
    bool m_has_image = false;
};

// The ease-out curve the motions share: fast start, soft landing.
double ease_out(double t);
