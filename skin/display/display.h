#pragma once
// The display access layer: memory bitmaps for composing frames, and a display that puts a
// finished RGB565 frame on the screen, turned for the orientation. Two kinds exist: the window's
// (an SDL streaming texture, see platform_window.h) and the null display of headless runs, which
// keeps the last frame. Both write the latest frame to QUILLON_SCREENSHOT when it is set.
#include <cstdint>
#include <memory>
#include <vector>

#include "skin/bitmap.h"
#include "skin/geometry.h"

class ScreenshotWriter;

struct DisplayParams {
    // The screen in pixels, as the platform has it (before the orientation turns the frame).
    int32_t width = 0;
    int32_t height = 0;
    // Quarter turns clockwise from the frame to the screen, 0..3.
    int32_t orientation = 0;
    // How a presented frame may be treated; 1 (discard) is the only kind, 0 becomes 1.
    int32_t swap_effect = 1;
};

// The size of the frames composed for a screen: width and height swap for a quarter turn.
Size frame_size_for(int32_t width, int32_t height, int32_t orientation);
// Where a point of the screen lies in the frame that the orientation turned onto it.
Point screen_to_frame(Point screen, Size frame, int32_t orientation);

class Display {
public:
    explicit Display(const DisplayParams& params);
    virtual ~Display();
    Display(const Display&) = delete;
    Display& operator=(const Display&) = delete;

    const DisplayParams& params() const { return m_params; }
    int32_t orientation() const { return m_params.orientation; }
    Size frame_size() const { return frame_size_for(m_params.width, m_params.height, m_params.orientation); }

    // Puts the frame on the screen; false when the platform refused (logged with its reason).
    bool present(const Bitmap& frame);
    // Shows the last presented frame again (the window was uncovered or resized).
    virtual void refresh() {}
    // Work that waits for time to pass (a screenshot held back); returns the milliseconds until it
    // wants to be called again, negative when nothing waits.
    int32_t service();
    // The screen changed size; the next frame is composed at the new size.
    void resize(int32_t width, int32_t height);
    // Frames come turned by this many quarter turns from now on.
    void set_orientation(int32_t orientation) { m_params.orientation = orientation & 3; }

protected:
    virtual bool show(const Bitmap& frame) = 0;

private:
    DisplayParams m_params;
    std::unique_ptr<ScreenshotWriter> m_screenshot;
};

// A memory bitmap whose rows are padded to whole 4-byte words: pitch = (width × 2 + 3) & ~3.
class MemoryBitmap final : public Bitmap {
public:
    MemoryBitmap(int32_t width, int32_t height, std::vector<Pixel> storage, int32_t pitch);

private:
    std::vector<Pixel> m_memory;
};

// Nullptr for a size that is not positive or too large to show.
std::unique_ptr<MemoryBitmap> create_bitmap(int32_t width, int32_t height);
// A bitmap that the text renderer draws into (FreeType writes our memory directly, so it is a
// memory bitmap under another name).
std::unique_ptr<MemoryBitmap> create_drawable_bitmap(int32_t width, int32_t height);

// The headless display: it shows nothing and keeps the last frame.
class NullDisplay final : public Display {
public:
    explicit NullDisplay(const DisplayParams& params) : Display(params) {}
    // The last presented frame; nullptr before the first.
    const Bitmap* last_frame() const { return m_last.get(); }
    int64_t presented_count() const { return m_presented; }

protected:
    bool show(const Bitmap& frame) override;

private:
    std::unique_ptr<MemoryBitmap> m_last;
    int64_t m_presented = 0;
};

// A swap effect of 0 becomes 1 (with its log line); the display kinds call it before they create.
void normalise_swap_effect(DisplayParams& params);
// The log lines that end a display's creation, for both kinds.
void log_display_created(const DisplayParams& params, bool success);
// The headless display, with its creation logged.
std::unique_ptr<NullDisplay> create_null_display(DisplayParams& params);
