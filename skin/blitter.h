#pragma once
// Per-pixel rules for copying RGB565 rows. Every drawing operation works row by row through a
// Blitter, so the same clipping and scaling code serves opaque copies, colour-keyed pictures,
// translucent caches and text.
//
// Conventions of every picture: 0xF81F is the colour key (fully transparent); a pixel without the
// opaque bit 0x20 is half-transparent with its colour stored pre-reduced, so adding a fraction of
// the destination cannot overflow a channel.
#include <cstdint>
#include <memory>

#include "skin/color.h"

class Blitter {
public:
    virtual ~Blitter() = default;
    // One source pixel per destination pixel over [dst, dst_end).
    virtual void copy_row(Pixel* dst, Pixel* dst_end, const Pixel* src) const = 0;
    // Source index x >> 10, x advancing by `step` (10 fraction bits; 1024 = one pixel).
    virtual void stretch_row(Pixel* dst, Pixel* dst_end, const Pixel* src_row, int32_t x, int32_t step) const = 0;
    // Destination pixel i takes source pixel (start + i) >> shift.
    virtual void scaled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift) const = 0;
    // Like scaled_row with a running index that jumps back to wrap_from when it reaches wrap_to.
    virtual void tiled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift,
                           int32_t wrap_from, int32_t wrap_to) const = 0;
};

const Blitter& opaque_blitter();
// Translucency levels 0 (colour key only) to 4 (opaque pixels only).
const Blitter& level_blitter(int32_t level);
// Puts text back from the scratch surface: pixels the text changed get the opaque bit, all
// others keep the destination.
const Blitter& text_write_back_blitter();
// -1 → opaque copy; otherwise level value / 64 clamped to 0..4.
const Blitter& translucency_blitter(int32_t value);
// Each channel scaled by its factor / 256; `combine` ORs the result into the destination.
std::unique_ptr<Blitter> make_tint_blitter(int32_t red_factor, int32_t green_factor, int32_t blue_factor, bool combine);

// The dimming filter: level n = (value + 8) / 16 clamped to 0..16 scales every channel by n / 16.
int32_t dimming_level(int32_t value);
// Scales [begin, end) in place by level / 16, two pixels per 32-bit word.
void dim_row(Pixel* begin, Pixel* end, int32_t level);
