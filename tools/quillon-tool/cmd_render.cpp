// quillon-tool render SKIN ELEMENT --size WxH [--dpi N] OUT.png: lays a skin element out at a
// screen size and draws it into a PNG, so a skin can be looked at without a window.
//
// The full widget kinds are not part of the skin framework yet; here "color", "image", "button" and
// the text kinds get small previews of their main keys, every other kind draws as a plain container.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "os/text.h"
#include "skin/draw_text.h"
#include "skin/png_writer.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/table_widget.h"
#include "skin/widget.h"
#include "skin/widget_registry.h"
#include "tools/quillon-tool/command.h"

namespace {
class ColorPreview : public Widget {
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

class ImagePreview : public Widget {
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

class TextPreview : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        static auto fallback = std::make_shared<FontRep>(FontSpec{});
        m_font = properties.get_font(element, u"font", fallback);
        m_text = properties.translate(properties.get_string(element, u"text", u""));
        m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
        const std::u16string halign = properties.get_string(element, u"halign", u"CENTER");
        m_halign = halign == u"LEFT" || halign == u"JUSTIFY" ? HAlign::Left
                   : halign == u"RIGHT"                      ? HAlign::Right
                                                             : HAlign::Center;
        const std::u16string valign = properties.get_string(element, u"valign", u"VCENTER");
        m_valign = valign == u"TOP" ? VAlign::Top : valign == u"BOTTOM" ? VAlign::Bottom : VAlign::VCenter;
        m_wrap = properties.get_int(element, u"wrap", 0) != 0;
    }
    void set_property(std::u16string_view name, std::u16string_view value) override {
        if (name == id()) m_text = value;
        Widget::set_property(name, value);
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

// A button shows its "#normal" look and its text.
class ButtonPreview : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        for (const char16_t* look : {u"#pressed", u"#disabled"}) {
            if (Widget* child = find_child(look)) child->set_visible(false);
        }
        set_text(properties.translate(properties.get_string(element, u"text", u"")));
    }
};

void register_preview_kinds() {
    WidgetRegistry& registry = WidgetRegistry::global();
    auto add = [&](const char16_t* keyword, auto tag) {
        using Kind = typename decltype(tag)::type;
        if (!registry.contains(keyword)) register_widget<Kind>(registry, keyword);
    };
    add(u"node", std::type_identity<Widget>{});
    add(u"text", std::type_identity<TextPreview>{});
    add(u"color", std::type_identity<ColorPreview>{});
    add(u"image", std::type_identity<ImagePreview>{});
    add(u"edit", std::type_identity<TextPreview>{});
    add(u"htable", std::type_identity<HTableWidget>{});
    add(u"vtable", std::type_identity<VTableWidget>{});
    add(u"button", std::type_identity<ButtonPreview>{});
    for (const char16_t* plain : {u"vlist", u"checkbox", u"progress", u"label_edit", u"clip"}) {
        if (!registry.contains(plain)) register_widget<Widget>(registry, plain);
    }
    add(u"oldtext", std::type_identity<TextPreview>{});
}

int run_render(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    int width = 0, height = 0, dpi = 96;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &width, &height) != 2) return fail("--size takes WxH");
        } else if (args[i] == "--dpi" && i + 1 < args.size()) {
            dpi = std::atoi(args[++i].c_str());
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3 || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return fail("usage: quillon-tool render SKIN ELEMENT --size WxH [--dpi N] OUT.png");
    }
    Properties properties;
    if (!properties.load_skin(os::from_utf8(positional[0]), DisplayInfo{width, height, dpi, 0})) {
        return fail(positional[0] + ": the skin could not be loaded");
    }
    register_preview_kinds();
    Widget screen;
    try {
        if (!screen.bind(properties, os::from_utf8(positional[1]))) {
            return fail("no element " + positional[1] + " in " + positional[0]);
        }
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    screen.set_x(0, width);
    screen.set_y(0, height);
    RenderSurface surface(width, height);
    surface.fill({0, 0, width, height}, Color{0, 0, 0, 255});
    screen.draw(surface, {0, 0});
    if (!save_png(*surface.bitmap(), positional[2])) return fail(positional[2] + ": cannot be written");
    return 0;
}

const ToolCommand command{"render", "SKIN ELEMENT --size WxH [--dpi N] OUT.png",
                          "lay out a skin element at a screen size and draw it into a PNG", &run_render};
}  // namespace
