#pragma once
// The diagnostic frame-time display: the average time between the last 20 frames and the pixels
// held by all render surfaces, in the top-left corner over a dimmed patch. Switched on by
// QUILLON_FRAME_TIME=1 in the environment or by Ctrl+T.
#include <deque>
#include <memory>
#include <string>

#include "skin/color.h"
#include "skin/font_rep.h"
#include "skin/render_surface.h"

class FrameTimeDisplay {
public:
    // Records a frame composed at `seconds` (any monotonic clock).
    void record(double seconds);
    // The average milliseconds between the oldest and newest recorded frames (0 before two).
    double average_ms() const;
    // "16.7 ms 384 Kp", in brackets ("[16.7 ms]") when no further frame is pending.
    std::u16string text(bool frame_pending, int64_t pixels) const;
    // Green below 20 ms, toward yellow up to 40, toward red up to 60, red above.
    static Color color_for(double average_ms);
    void draw(RenderSurface& frame, bool frame_pending);

    static constexpr size_t kFrames = 20;

private:
    std::deque<double> m_times;
    std::shared_ptr<FontRep> m_font;
};
