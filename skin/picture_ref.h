#pragma once
// A picture as a skin property names it: an area of a shared bitmap cut into 3 × 3 parts by four
// points. p0 / p2 are the outer top-left and bottom-right (exclusive) corners, p1 / p3 the corners
// of the inner part that repeats when the picture is drawn larger.
#include <memory>

#include "skin/bitmap.h"
#include "skin/geometry.h"

struct PictureRef {
    Point p0;
    Point p1;
    Point p2;
    Point p3;
    std::shared_ptr<Bitmap> bitmap;
    // Source coordinates are shifted right by this when drawing: hi-res skins double every pixel.
    int32_t scale_shift = 0;
    bool flag = false;

    Size natural_size() const { return {p2.x - p0.x, p2.y - p0.y}; }
    bool is_valid() const { return bitmap != nullptr; }
};
