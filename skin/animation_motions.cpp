#include "skin/animation_motions.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "skin/visibility_animation.h"

namespace {
// Runs last about a quarter of a second: progress per second is speed × 5.
constexpr double kSlideSpeed = 0.8;  // 0.25 s
constexpr double kPopSpeed = 1.0;    // 0.2 s
constexpr double kFlipSpeed = 0.6;   // 0.33 s: two halves

// Mixes the picture over the destination with a constant opacity (0..256); keyed pixels stay out.
class FadeBlitter : public Blitter {
public:
    explicit FadeBlitter(int32_t alpha) : m_alpha(std::clamp(alpha, 0, 256)) {}

    void copy_row(Pixel* dst, Pixel* dst_end, const Pixel* src) const override {
        for (; dst < dst_end; ++dst, ++src) put(*dst, *src);
    }
    void stretch_row(Pixel* dst, Pixel* dst_end, const Pixel* src_row, int32_t x, int32_t step) const override {
        for (; dst < dst_end; ++dst, x += step) put(*dst, src_row[x >> 10]);
    }
    void scaled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift) const override {
        for (int32_t i = 0; i < count; ++i) put(dst[i], src_row[(start + i) >> shift]);
    }
    void tiled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift, int32_t wrap_from,
                   int32_t wrap_to) const override {
        int32_t a = start;
        for (int32_t i = 0; i < count; ++i) {
            put(dst[i], src_row[a >> shift]);
            a = a + 1 == wrap_to ? wrap_from : a + 1;
        }
    }

private:
    void put(Pixel& d, Pixel s) const {
        if (s == kKeyPixel) return;
        const int32_t dr = d >> 11, dg = (d >> 5) & 0x3F, db = d & 0x1F;
        const int32_t r = dr + (((s >> 11) - dr) * m_alpha >> 8);
        const int32_t g = dg + ((((s >> 5) & 0x3F) - dg) * m_alpha >> 8);
        const int32_t b = db + (((s & 0x1F) - db) * m_alpha >> 8);
        d = static_cast<Pixel>((r << 11) | (g << 5) | b);
    }
    int32_t m_alpha;
};

const Blitter& keyed() { return level_blitter(0); }

void draw_whole(RenderSurface& target, Point at, const RenderSurface& image, const Blitter& blitter) {
    if (const Bitmap* bitmap = image.bitmap()) blit(target, at, image.size(), *bitmap, {0, 0}, blitter);
}

// The image scaled by (fx, fy) about the centre of the rectangle at `origin` of `size`.
void draw_scaled(RenderSurface& target, Point origin, Size size, const RenderSurface& image, double fx, double fy,
                 const Blitter& blitter) {
    const Bitmap* bitmap = image.bitmap();
    if (!bitmap) return;
    const Size scaled{static_cast<int32_t>(std::floor(size.width * fx)),
                      static_cast<int32_t>(std::floor(size.height * fy))};
    if (scaled.width < 1 || scaled.height < 1) return;
    const Point at{origin.x + static_cast<int32_t>(std::floor((size.width - scaled.width) * 0.5)),
                   origin.y + static_cast<int32_t>(std::floor((size.height - scaled.height) * 0.5))};
    if (scaled == size) {
        blit(target, at, size, *bitmap, {0, 0}, blitter);
    } else {
        stretch_blit(target, at, scaled, *bitmap, {0, 0}, image.size(), blitter);
    }
}

class ScaleAnimation : public VisibilityAnimation {
public:
    ScaleAnimation() : VisibilityAnimation(u"scale", kSlideSpeed) {}

protected:
    void draw_frame(RenderSurface& target, Point origin, Size size, double t) override {
        if (has_earlier()) draw_whole(target, origin, m_earlier, opaque_blitter());
        const double f = ease_out(t);
        draw_scaled(target, origin, size, m_image, f, f, keyed());
    }
};

class PopAnimation : public VisibilityAnimation {
public:
    PopAnimation() : VisibilityAnimation(u"pop", kPopSpeed) {}

protected:
    void draw_frame(RenderSurface& target, Point origin, Size size, double t) override {
        if (has_earlier()) draw_whole(target, origin, m_earlier, opaque_blitter());
        // Ease-out with a small overshoot ("back" curve): about 3 % past full size, then settle.
        constexpr double c1 = 1.3;
        constexpr double c3 = c1 + 1.0;
        const double u = t - 1.0;
        const double swell = 1.0 + c3 * u * u * u + c1 * u * u;
        const double f = 0.8 + 0.2 * swell;
        const int32_t alpha = static_cast<int32_t>(std::min(1.0, t * 2.0) * 256.0);
        if (alpha >= 256) {
            draw_scaled(target, origin, size, m_image, f, f, keyed());
        } else {
            draw_scaled(target, origin, size, m_image, f, f, FadeBlitter(alpha));
        }
    }
};

class SlideAnimation : public VisibilityAnimation {
public:
    SlideAnimation(std::u16string keyword, int side)
        : VisibilityAnimation(std::move(keyword), kSlideSpeed), m_side(side) {}

protected:
    void draw_frame(RenderSurface& target, Point origin, Size size, double t) override {
        const RenderSurface::ClipState saved = target.clip_state();
        target.set_clip(intersect(saved.rect, {origin.x, origin.y, origin.x + size.width, origin.y + size.height}));
        const double e = ease_out(t);
        const int32_t dx = static_cast<int32_t>(std::lround((1.0 - e) * size.width));
        const int32_t dy = static_cast<int32_t>(std::lround((1.0 - e) * size.height));
        const int32_t push = static_cast<int32_t>(std::lround(e * size.width / 3.0));
        Point earlier = origin;
        Point image = origin;
        switch (m_side) {
            case 0:
                image.x += dx;
                earlier.x -= push;
                break;
            case 1:
                image.y += dy;
                break;
            case 2:
                image.x -= dx;
                earlier.x += push;
                break;
            default:
                image.y -= dy;
                break;
        }
        if (has_earlier()) draw_whole(target, earlier, m_earlier, opaque_blitter());
        draw_whole(target, image, m_image, keyed());
        target.set_clip_state(saved);
    }

private:
    int m_side;
};

class FlipAnimation : public VisibilityAnimation {
public:
    FlipAnimation() : VisibilityAnimation(u"flip", kFlipSpeed) {}

protected:
    void draw_frame(RenderSurface& target, Point origin, Size size, double t) override {
        const double f = t * t * (3.0 - 2.0 * t);
        // The card seems to move away a little at the half-turn.
        const double depth = 1.0 - 0.08 * std::sin(std::numbers::pi * f);
        if (!has_earlier()) {
            draw_scaled(target, origin, size, m_image, ease_out(t), depth, keyed());
            return;
        }
        const double turn = std::cos(std::numbers::pi * f);
        if (turn > 0) {
            draw_scaled(target, origin, m_earlier.size(), m_earlier, turn, depth, opaque_blitter());
        } else {
            draw_scaled(target, origin, size, m_image, -turn, depth, keyed());
        }
    }
};
}  // namespace

std::unique_ptr<VisibilityAnimation> make_scale_animation() { return std::make_unique<ScaleAnimation>(); }
std::unique_ptr<VisibilityAnimation> make_pop_animation() { return std::make_unique<PopAnimation>(); }
std::unique_ptr<VisibilityAnimation> make_slide_animation(std::u16string keyword, int side) {
    return std::make_unique<SlideAnimation>(std::move(keyword), side);
}
std::unique_ptr<VisibilityAnimation> make_flip_animation() { return std::make_unique<FlipAnimation>(); }
