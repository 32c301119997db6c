#include "tests/skin/fuzz/skin_fuzz_widgets.h"

#include <memory>

#include "skin/draw_text.h"
#include "skin/render_surface.h"
#include "skin/skin_exceptions.h"
#include "skin/table_widget.h"
#include "skin/widget.h"
#include "skin/widget_registry.h"

namespace {

class FuzzColor : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
    }
    void draw(RenderSurface& surface, Point origin) override {
        surface.fill({origin.x, origin.y, origin.x + size().width, origin.y + size().height}, m_color);
        Widget::draw(surface, origin);
    }

private:
    Color m_color;
};

class FuzzImage : public Widget {
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

class FuzzText : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        static const auto fallback = std::make_shared<FontRep>(FontSpec{});
        m_font = properties.get_font(element, u"font", fallback);
        if (!m_font) m_font = fallback;
        m_text = properties.translate(properties.get_string(element, u"text", u""));
        m_color = properties.get_color(element, u"color", Color{255, 255, 255, 255});
        const int32_t halign = properties.get_int(element, u"halign", 1);
        const int32_t valign = properties.get_int(element, u"valign", 1);
        m_halign = halign >= 0 && halign <= 3 ? static_cast<HAlign>(halign) : HAlign::Center;
        m_valign = valign == 0 ? VAlign::Top : valign == 2 ? VAlign::Bottom : VAlign::VCenter;
        m_wrap = properties.get_int(element, u"wrap", 0) != 0;
    }
    void draw(RenderSurface& surface, Point origin) override {
        draw_text(surface, *m_font, m_color, m_text,
                  {origin.x, origin.y, origin.x + size().width, origin.y + size().height}, m_halign, m_valign, m_wrap);
        Widget::draw(surface, origin);
    }

private:
    std::shared_ptr<FontRep> m_font;
    std::u16string m_text;
    Color m_color;
    HAlign m_halign = HAlign::Center;
    VAlign m_valign = VAlign::VCenter;
    bool m_wrap = false;
};

template <typename Kind>
void add(WidgetRegistry& registry, const char16_t* keyword) {
    if (!registry.contains(keyword)) register_widget<Kind>(registry, keyword);
}

}  // namespace

void fill_fuzz_widget_registry() {
    WidgetRegistry& registry = WidgetRegistry::global();
    add<Widget>(registry, u"node");
    for (const char16_t* keyword : {u"text", u"oldtext", u"edit", u"label_edit"}) add<FuzzText>(registry, keyword);
    add<FuzzColor>(registry, u"color");
    add<FuzzImage>(registry, u"image");
    add<HTableWidget>(registry, u"htable");
    add<VTableWidget>(registry, u"vtable");
    for (const char16_t* keyword : {u"button", u"vlist", u"checkbox", u"progress", u"clip"})
        add<Widget>(registry, keyword);
}

void lay_out_and_draw(const Properties& properties, std::u16string_view id, int32_t width, int32_t height) {
    Widget screen;
    try {
        if (!screen.bind(properties, id)) return;
        RenderSurface surface(width, height);
        for (int turn = 0; turn < 2; ++turn) {
            const bool rotated = turn == 1;
            screen.set_x(0, rotated ? height : width);
            screen.set_y(0, rotated ? width : height);
            screen.draw(surface, {0, 0});
        }
    } catch (const SkinException&) {
        // A skin may name kinds or children that do not exist; the program reports those.
    }
}
