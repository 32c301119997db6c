#pragma once
// A drawing target: an RGB565 bitmap (owned, or borrowed from the display or another surface) with
// a clip rectangle. A process-wide counter tracks the pixels held by all owning surfaces.
#include <cstdint>
#include <memory>

#include "skin/bitmap.h"
#include "skin/blitter.h"
#include "skin/color.h"
#include "skin/geometry.h"
#include "skin/picture_ref.h"

class RenderSurface {
public:
    RenderSurface() = default;
    RenderSurface(int32_t width, int32_t height);
    // Draws into memory someone else owns; the surface never resizes it.
    explicit RenderSurface(Bitmap* borrowed);
    ~RenderSurface();
    RenderSurface(const RenderSurface&) = delete;
    RenderSurface& operator=(const RenderSurface&) = delete;

    // Replaces the bitmap with a new one of this size (each side at most kMaxScreenLength); false
    // (and nothing done) when the size is unchanged. The clip is reset to the whole bitmap. When
    // memory is short the surface is left without a bitmap.
    bool recreate(int32_t width, int32_t height);
    Size size() const;
    Bitmap* bitmap() { return m_bitmap; }
    const Bitmap* bitmap() const { return m_bitmap; }

    struct ClipState {
        Rect rect;
        bool in_effect = false;
    };
    Rect clip() const { return m_clip; }
    bool clip_in_effect() const { return m_clip_in_effect; }
    ClipState clip_state() const { return {m_clip, m_clip_in_effect}; }
    // Narrows drawing to `rect` within the bitmap; restore the earlier state with set_clip_state.
    void set_clip(Rect rect);
    void set_clip_state(ClipState state);

    // Solid fill of the rectangle within the clip.
    void fill(Rect rect, Color color);
    using RowOperation = void (*)(Pixel* begin, Pixel* end, int32_t parameter);
    // Applies an in-place row operation (the dimming filter) over the rectangle within the clip.
    void filter(Rect rect, RowOperation operation, int32_t parameter);

    // Pixels held by all owning surfaces of the process.
    static int64_t pixel_count();

private:
    void release();

    std::unique_ptr<Bitmap> m_owned;
    Bitmap* m_bitmap = nullptr;
    Rect m_clip;
    bool m_clip_in_effect = false;
};

// Copies a size × size rectangle from `source` at `source_position` to `destination` at `position`.
// Nothing is drawn for an empty size or a source rectangle not wholly inside the source.
void blit(RenderSurface& destination, Point position, Size size, const Bitmap& source, Point source_position,
          const Blitter& blitter);
// Scales a source rectangle onto a destination rectangle (nearest pixel, 10-bit fixed point steps).
void stretch_blit(RenderSurface& destination, Point position, Size size, const Bitmap& source, Point source_position,
                  Size source_size, const Blitter& blitter);
// Draws a picture over the rectangle: fixed corners and edges, the inner part tiled.
void draw_picture(RenderSurface& destination, Point position, Size size, const PictureRef& picture,
                  const Blitter& blitter);

// Intersection helper used by the clipping code.
Rect intersect(const Rect& a, const Rect& b);
