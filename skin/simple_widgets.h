#pragma once
// The plain drawing kinds: a solid colour ("color"), a picture ("image") and a clipping container
// ("clip").
#include "skin/widget.h"

class ColorWidget : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override;
    // Fills its rectangle; its children are not drawn.
    void draw(RenderSurface& surface, Point origin) override;
    Color color() const { return m_color; }
    void set_color(Color color);

private:
    Color m_color{0, 0, 0, 255};
};

class ImageWidget : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override;
    void draw(RenderSurface& surface, Point origin) override;
    const PictureRef& picture() const { return m_picture; }
    // Screens swap pictures (row icons); the picture's bitmap is shared, not copied.
    void set_picture(PictureRef picture);

protected:
    MeasuredPair compute_width() override;
    MeasuredPair compute_height() override;

private:
    PictureRef m_picture;
    int32_t m_alpha = -1;
    bool m_grow = false;
};

class ClipWidget : public Widget {
public:
    using Widget::Widget;
    // Draws the children with the clip narrowed to its own rectangle.
    void draw(RenderSurface& surface, Point origin) override;
};
