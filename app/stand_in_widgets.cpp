#include "app/stand_in_widgets.h"

#include <memory>

#include "skin/draw_text.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/widget.h"
#include "skin/widget_registry.h"

namespace {

class StandInColor final : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
    }
    void draw(RenderSurface& surface, Point origin) override {
        surface.fill({origin.x, origin.y, origin.x + size().width, origin.y + size().height}, m_color);
    }

private:
    Color m_color;
};

class StandInImage final : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        m_picture = properties.get_picture(element, u"src", {});
        m_alpha = properties.get_int(element, u"alpha", -1);
    }
    void draw(RenderSurface& surface, Point origin) override {
        draw_picture(surface, origin, size(), m_picture, translucency_blitter(m_alpha));
        Widget::draw(surface, origin);
    }

private:
    PictureRef m_picture;
    int32_t m_alpha = -1;
};

class StandInText final : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        static const auto fallback = std::make_shared<FontRep>(FontSpec{});
        m_font = properties.get_font(element, u"font", fallback);
        m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
        set_text(properties.translate(properties.get_string(element, u"text", u"")));
    }
    void draw(RenderSurface& surface, Point origin) override {
        draw_text(surface, *m_font, m_color, text(),
                  {origin.x, origin.y, origin.x + size().width, origin.y + size().height}, HAlign::Center,
                  VAlign::VCenter, true);
        Widget::draw(surface, origin);
    }

private:
    std::shared_ptr<FontRep> m_font;
    Color m_color;
};

template <typename T>
void add_missing(WidgetRegistry& registry, const char16_t* keyword) {
    if (!registry.contains(keyword)) register_widget<T>(registry, keyword);
}

}  // namespace

void register_stand_in_widgets() {
    WidgetRegistry& registry = WidgetRegistry::global();
    add_missing<Widget>(registry, u"node");
    add_missing<StandInColor>(registry, u"color");
    add_missing<StandInImage>(registry, u"image");
    add_missing<StandInText>(registry, u"text");
}
