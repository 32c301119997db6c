#include "skin/render_surface.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <new>

#include "os/log.h"

namespace {
std::atomic<int64_t> g_pixel_count{0};
}

Rect intersect(const Rect& a, const Rect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
}

RenderSurface::RenderSurface(int32_t width, int32_t height) { recreate(width, height); }

RenderSurface::RenderSurface(Bitmap* borrowed) : m_bitmap(borrowed) {
    if (m_bitmap) m_clip = {0, 0, m_bitmap->width(), m_bitmap->height()};
}

RenderSurface::~RenderSurface() { release(); }

void RenderSurface::release() {
    if (m_owned) g_pixel_count -= static_cast<int64_t>(m_owned->width()) * m_owned->height();
    m_owned.reset();
    m_bitmap = nullptr;
}

bool RenderSurface::recreate(int32_t width, int32_t height) {
    // Nothing on a screen needs a larger surface; a skin asking for one gets the largest.
    width = clamp_length(width);
    height = clamp_length(height);
    if (m_bitmap ? (m_bitmap->width() == width && m_bitmap->height() == height) : (width == 0 && height == 0)) {
        return false;
    }
    if (m_clip_in_effect) {
        os::log() << u"Gluck: " << u"Clip is in effect, cannot resize" << u" @ " << u"RenderSurface::recreate" << u"\n";
    }
    release();
    try {
        m_owned = std::make_unique<Bitmap>(width, height);
    } catch (const std::bad_alloc&) {
        // Short of memory the surface stays empty, and drawing into it does nothing.
        os::log() << u"RenderSurface::recreate no memory for " << width << u"x" << height << u"\n";
        m_clip = {};
        m_clip_in_effect = false;
        return true;
    }
    m_bitmap = m_owned.get();
    g_pixel_count += static_cast<int64_t>(width) * height;
    m_clip = {0, 0, width, height};
    m_clip_in_effect = false;
    return true;
}

Size RenderSurface::size() const { return m_bitmap ? m_bitmap->size() : Size{}; }

void RenderSurface::set_clip(Rect rect) {
    const Size whole = size();
    m_clip = intersect(rect, {0, 0, whole.width, whole.height});
    m_clip_in_effect = true;
}

void RenderSurface::set_clip_state(ClipState state) {
    const Size whole = size();
    m_clip = intersect(state.rect, {0, 0, whole.width, whole.height});
    m_clip_in_effect = state.in_effect;
}

int64_t RenderSurface::pixel_count() { return g_pixel_count.load(); }

void RenderSurface::fill(Rect rect, Color color) {
    if (!m_bitmap) return;
    const Rect area = intersect(rect, m_clip);
    if (area.empty()) return;
    const Pixel pixel = to_pixel(color);
    const uint32_t pair = pixel | (static_cast<uint32_t>(pixel) << 16);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        Pixel* p = m_bitmap->row(y) + area.left;
        Pixel* end = m_bitmap->row(y) + area.right;
        // Two pixels per 32-bit store once the row is word-aligned.
        if (p < end && (reinterpret_cast<uintptr_t>(p) & 2)) *p++ = pixel;
        for (; end - p >= 2; p += 2) std::memcpy(p, &pair, sizeof pair);
        if (p < end) *p = pixel;
    }
}

void RenderSurface::filter(Rect rect, RowOperation operation, int32_t parameter) {
    if (!m_bitmap) return;
    const Rect area = intersect(rect, m_clip);
    if (area.empty()) return;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        operation(m_bitmap->row(y) + area.left, m_bitmap->row(y) + area.right, parameter);
    }
}

void blit(RenderSurface& destination, Point position, Size size, const Bitmap& source, Point source_position,
          const Blitter& blitter) {
    Bitmap* target = destination.bitmap();
    if (!target || size.width < 1 || size.height < 1 || source_position.x < 0 || source_position.y < 0 ||
        static_cast<int64_t>(source_position.x) + size.width > source.width() ||
        static_cast<int64_t>(source_position.y) + size.height > source.height()) {
        return;
    }
    const Rect wanted{position.x, position.y, position.x + size.width, position.y + size.height};
    const Rect area = intersect(wanted, destination.clip());
    if (area.empty()) return;
    const int32_t source_x = source_position.x + (area.left - wanted.left);
    const int32_t source_y = source_position.y + (area.top - wanted.top);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        Pixel* row = target->row(y);
        blitter.copy_row(row + area.left, row + area.right, source.row(source_y + (y - area.top)) + source_x);
    }
}

void stretch_blit(RenderSurface& destination, Point position, Size size, const Bitmap& source, Point source_position,
                  Size source_size, const Blitter& blitter) {
    Bitmap* target = destination.bitmap();
    if (!target || size.width < 1 || size.height < 1 || source_size.width < 1 || source_size.height < 1 ||
        source_position.x < 0 || source_position.y < 0 ||
        static_cast<int64_t>(source_position.x) + source_size.width > source.width() ||
        static_cast<int64_t>(source_position.y) + source_size.height > source.height()) {
        return;
    }
    const int32_t step_x = static_cast<int32_t>((static_cast<int64_t>(source_size.width) << 10) / size.width);
    const int32_t step_y = static_cast<int32_t>((static_cast<int64_t>(source_size.height) << 10) / size.height);
    const Rect wanted{position.x, position.y, position.x + size.width, position.y + size.height};
    const Rect area = intersect(wanted, destination.clip());
    if (area.empty()) return;
    const int32_t start_x = static_cast<int32_t>(static_cast<int64_t>(step_x) * (area.left - wanted.left));
    int64_t y_fixed = static_cast<int64_t>(step_y) * (area.top - wanted.top);
    for (int32_t y = area.top; y < area.bottom; ++y, y_fixed += step_y) {
        const Pixel* source_row = source.row(source_position.y + (y_fixed >> 10)) + source_position.x;
        Pixel* row = target->row(y);
        blitter.stretch_row(row + area.left, row + area.right, source_row, start_x, step_x);
    }
}
