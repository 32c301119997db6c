#include "skin/simple_widgets.h"

#include <algorithm>

void ColorWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
}

void ColorWidget::draw(RenderSurface& surface, Point origin) {
    surface.fill({origin.x, origin.y, origin.x + size().width, origin.y + size().height}, m_color);
}

void ColorWidget::set_color(Color color) {
    if (color == m_color) return;
    m_color = color;
    mark_redraw();
}

void ImageWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_picture = properties.get_picture(element, u"src", {});
    m_alpha = properties.get_int(element, u"alpha", -1);
    m_grow = properties.get_int(element, u"grow", 0) != 0;
}

void ImageWidget::set_picture(PictureRef picture) {
    m_picture = std::move(picture);
    if (m_grow) invalidate_layout();
    mark_redraw();
}

MeasuredPair ImageWidget::compute_width() {
    MeasuredPair pair = Widget::compute_width();
    if (m_grow && m_picture.is_valid()) {
        const int32_t natural = std::max(0, m_picture.natural_size().width);
        pair = {std::max(pair.preferred, natural), std::max(pair.minimum, natural)};
    }
    return pair;
}

MeasuredPair ImageWidget::compute_height() {
    MeasuredPair pair = Widget::compute_height();
    if (m_grow && m_picture.is_valid()) {
        const int32_t natural = std::max(0, m_picture.natural_size().height);
        pair = {std::max(pair.preferred, natural), std::max(pair.minimum, natural)};
    }
    return pair;
}

void ImageWidget::draw(RenderSurface& surface, Point origin) {
    if (m_picture.is_valid()) draw_picture(surface, origin, size(), m_picture, translucency_blitter(m_alpha));
    Widget::draw(surface, origin);
}

void ClipWidget::draw(RenderSurface& surface, Point origin) {
    const RenderSurface::ClipState saved = surface.clip_state();
    surface.set_clip(intersect(saved.rect, {origin.x, origin.y, origin.x + size().width, origin.y + size().height}));
    Widget::draw(surface, origin);
    surface.set_clip_state(saved);
}
