// Pictures drawn larger than their natural size keep their corners and edges and repeat their
// inner part; drawn smaller they lose their middle and share the length between the two ends.
#include <algorithm>

#include "skin/render_surface.h"

namespace {
// One run of destination pixels along an axis and where its source comes from (in the picture's
// unshifted coordinates). A tiled run cycles through [wrap_from, wrap_to).
struct Segment {
    int32_t start = 0;
    int32_t length = 0;
    int32_t source = 0;
    bool tiled = false;
    int32_t wrap_from = 0;
    int32_t wrap_to = 0;
};

struct Axis {
    Segment parts[3];
};

Axis cut_axis(int32_t a, int32_t b, int32_t p0, int32_t p1, int32_t p2, int32_t p3) {
    Axis axis;
    const int32_t lead = p1 - p0;
    const int32_t trail = p2 - p3;
    if (lead + trail < b) {
        axis.parts[0] = {a, lead, p0};
        axis.parts[1] = {a + lead, p3 > p1 ? b - lead - trail : 0, p1, true, p1, p3};
        axis.parts[2] = {a + b - trail, trail, p3};
        return axis;
    }
    // Too short for both ends: the trail end gets at most about half, the lead end the rest, so
    // the two always cover the whole destination length.
    const int32_t half = b / 2;
    const int32_t m = (b - 1) / 2 + (lead < half ? half - lead : 0);
    const int32_t trail_length = std::min(trail, m);
    const int32_t lead_length = b - trail_length;
    axis.parts[0] = {a, lead_length, p0};
    axis.parts[2] = {a + lead_length, trail_length, p2 - trail_length};
    return axis;
}

// Cuts a segment to [low, high); a tiled segment keeps its phase.
Segment clip_segment(Segment s, int32_t low, int32_t high) {
    const int32_t end = std::min(s.start + s.length, high);
    if (s.start < low) {
        const int32_t cut = low - s.start;
        if (s.tiled) {
            const int32_t inner = s.wrap_to - s.wrap_from;
            s.source = s.wrap_from + static_cast<int32_t>((static_cast<int64_t>(s.source - s.wrap_from) + cut) % inner);
        } else {
            s.source += cut;
        }
        s.start = low;
    }
    s.length = std::max(0, end - s.start);
    return s;
}

// The source index on an axis for destination offset `i` into a segment.
int32_t source_index(const Segment& s, int32_t i) {
    if (!s.tiled) return s.source + i;
    const int32_t inner = s.wrap_to - s.wrap_from;
    return s.wrap_from + (s.source - s.wrap_from + i) % inner;
}

bool ordered(int32_t p0, int32_t p1, int32_t p3, int32_t p2, int32_t limit) {
    return 0 <= p0 && p0 <= p1 && p1 <= p3 && p3 <= p2 && p2 <= limit;
}
}  // namespace

void draw_picture(RenderSurface& destination, Point position, Size size, const PictureRef& picture,
                  const Blitter& blitter) {
    Bitmap* target = destination.bitmap();
    const Bitmap* source = picture.bitmap.get();
    if (!target || !source || size.width < 1 || size.height < 1) return;
    const int32_t shift = std::clamp(picture.scale_shift, 0, 4);
    // Points from a skin are checked before a single pixel is read through them.
    const int64_t width_limit = static_cast<int64_t>(source->width()) << shift;
    const int64_t height_limit = static_cast<int64_t>(source->height()) << shift;
    if (!ordered(picture.p0.x, picture.p1.x, picture.p3.x, picture.p2.x,
                 static_cast<int32_t>(std::min<int64_t>(width_limit, INT32_MAX))) ||
        !ordered(picture.p0.y, picture.p1.y, picture.p3.y, picture.p2.y,
                 static_cast<int32_t>(std::min<int64_t>(height_limit, INT32_MAX)))) {
        return;
    }
    const Axis columns = cut_axis(position.x, size.width, picture.p0.x, picture.p1.x, picture.p2.x, picture.p3.x);
    const Axis rows = cut_axis(position.y, size.height, picture.p0.y, picture.p1.y, picture.p2.y, picture.p3.y);
    const Rect clip = destination.clip();

    Segment clipped_columns[3];
    for (int i = 0; i < 3; ++i) clipped_columns[i] = clip_segment(columns.parts[i], clip.left, clip.right);
    for (const Segment& row_part : rows.parts) {
        const Segment row_segment = clip_segment(row_part, clip.top, clip.bottom);
        for (int32_t i = 0; i < row_segment.length; ++i) {
            const Pixel* source_row = source->row(source_index(row_segment, i) >> shift);
            Pixel* target_row = target->row(row_segment.start + i);
            for (const Segment& column : clipped_columns) {
                if (column.length <= 0) continue;
                if (column.tiled) {
                    blitter.tiled_row(target_row + column.start, source_row, column.source, column.length, shift,
                                      column.wrap_from, column.wrap_to);
                } else {
                    blitter.scaled_row(target_row + column.start, source_row, column.source, column.length, shift);
                }
            }
        }
    }
}
