#pragma once
// What the application window asks of whatever fills the screen (the screen manager; the splash
// until that exists). The window composes a frame only while needs_frame() is true and sleeps
// otherwise, so anything that changes over time keeps it true, or is woken by an event (a timer,
// a document event) that makes it true again.
#include "skin/render_surface.h"

class FrameSource {
public:
    virtual ~FrameSource() = default;
    virtual bool needs_frame() = 0;
    // Seconds since the previous tick, 0.001..0.1 (a stall never jumps further). Called only while
    // needs_frame() is true, before compose().
    virtual void tick(double elapsed_seconds) = 0;
    // Draws the whole frame; the surface has the frame's size, which changes with the window.
    virtual void compose(RenderSurface& frame) = 0;
};
