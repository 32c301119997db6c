#include "skin/visibility_animation.h"

#include <algorithm>
#include <cmath>

#include "skin/animation_motions.h"
#include "skin/widget.h"

double ease_out(double t) {
    t = std::clamp(t, 0.0, 1.0);
    const double rest = 1.0 - t;
    return 1.0 - rest * rest * rest;
}

bool VisibilityAnimation::is_keyword(std::u16string_view keyword) {
    for (std::u16string_view known : {u"scale", u"pop", u"right", u"bottom", u"left", u"top", u"flip"}) {
        if (keyword == known) return true;
    }
    return false;
}

std::unique_ptr<VisibilityAnimation> VisibilityAnimation::create(std::u16string_view keyword) {
    if (keyword == u"scale") return make_scale_animation();
    if (keyword == u"pop") return make_pop_animation();
    if (keyword == u"right") return make_slide_animation(u"right", 0);
    if (keyword == u"bottom") return make_slide_animation(u"bottom", 1);
    if (keyword == u"left") return make_slide_animation(u"left", 2);
    if (keyword == u"top") return make_slide_animation(u"top", 3);
    if (keyword == u"flip") return make_flip_animation();
    return nullptr;
}

VisibilityAnimation::VisibilityAnimation(std::u16string keyword, double speed)
    : m_keyword(std::move(keyword)), m_speed(speed) {}

void VisibilityAnimation::show() {
    if (m_direction < 0) {
        m_direction = 1;
        return;
    }
    if (m_direction > 0) return;
    m_progress = 0.0;
    m_direction = 1;
    m_has_earlier = false;
    m_has_image = false;
}

void VisibilityAnimation::hide(Widget& widget) {
    if (m_direction > 0) {
        m_direction = -1;
        return;
    }
    if (m_direction < 0) return;
    m_has_earlier = false;
    capture(widget);
    if (!m_has_image) {
        finish(false);
        return;
    }
    m_progress = 1.0;
    m_direction = -1;
}

void VisibilityAnimation::start_transition(Widget& widget, const RenderSurface* earlier, int direction) {
    m_has_earlier = false;
    if (earlier && earlier->bitmap()) {
        const Size size = earlier->size();
        m_earlier.recreate(size.width, size.height);
        blit(m_earlier, {0, 0}, size, *earlier->bitmap(), {0, 0}, opaque_blitter());
        m_has_earlier = true;
    }
    capture(widget);
    if (!m_has_image) {
        finish(direction > 0);
        return;
    }
    m_direction = direction > 0 ? 1 : -1;
    m_progress = m_direction > 0 ? 0.0 : 1.0;
}

void VisibilityAnimation::reverse() { m_direction = -m_direction; }

void VisibilityAnimation::finish(bool shown) {
    m_direction = 0;
    m_progress = shown ? 1.0 : 0.0;
    release_images();
}

bool VisibilityAnimation::advance(double elapsed_seconds) {
    if (m_direction == 0) return false;
    if (!std::isfinite(elapsed_seconds) || elapsed_seconds < 0) elapsed_seconds = 0;
    m_progress += m_direction * m_speed * 5.0 * elapsed_seconds;
    if (m_direction > 0 && m_progress >= 1.0) {
        finish(true);
    } else if (m_direction < 0 && m_progress <= 0.0) {
        finish(false);
    }
    return m_direction != 0;
}

void VisibilityAnimation::draw(RenderSurface& target, Point origin, Widget& widget) {
    if (m_direction == 0) return;
    if (!m_has_image) capture(widget);
    draw_captured(target, origin);
}

void VisibilityAnimation::draw_captured(RenderSurface& target, Point origin) {
    if (m_direction == 0 || !m_has_image) return;
    draw_frame(target, origin, m_image.size(), std::clamp(m_progress, 0.0, 1.0));
}

void VisibilityAnimation::capture(Widget& widget) {
    const Size size = widget.picture_size();
    if (size.width < 1 || size.height < 1) {
        m_has_image = false;
        return;
    }
    m_image.recreate(size.width, size.height);
    m_image.fill({0, 0, size.width, size.height}, Color{255, 0, 255, 255});
    widget.draw(m_image, {0, 0});
    m_has_image = true;
}

void VisibilityAnimation::release_images() {
    m_image.recreate(0, 0);
    m_earlier.recreate(0, 0);
    m_has_image = false;
    m_has_earlier = false;
}
