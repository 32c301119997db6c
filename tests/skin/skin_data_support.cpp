#include "tests/skin/skin_data_support.h"

#include <cmath>

#include "os/text.h"
#include "skin/draw_text.h"
#include "skin/render_surface.h"
#include "skin/simple_widgets.h"
#include "skin/skin_exceptions.h"
#include "skin/table_widget.h"
#include "skin/text_widget.h"
#include "skin/widget_registry.h"

namespace skin_data {

std::string installed_skin_path(skin_lookups::SkinFile skin) {
    return std::string(QUILLON_BIN_DIR) + "/skins/bin/" +
           (skin == skin_lookups::SkinFile::Splash ? "splash.skin" : "default.skin");
}

bool load_installed(Properties& properties, skin_lookups::SkinFile skin, const DisplayInfo& display) {
    return properties.load_skin(os::from_utf8(installed_skin_path(skin)), display);
}

namespace {
class SampleColor : public Widget {
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

class SampleImage : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        m_picture = properties.get_picture(element, u"src", {});
        m_alpha = properties.get_int(element, u"alpha", -1);
    }
    void set_sample(const PictureRef& picture) {
        m_picture = picture;
        mark_redraw();
    }
    void draw(RenderSurface& surface, Point origin) override {
        if (m_picture.is_valid()) draw_picture(surface, origin, size(), m_picture, translucency_blitter(m_alpha));
        Widget::draw(surface, origin);
    }

private:
    PictureRef m_picture;
    int32_t m_alpha = -1;
};

class SampleText : public Widget {
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
    FontRep& font() { return *m_font; }
    const std::u16string& sample_text() const { return m_text; }
    bool wraps() const { return m_wrap; }
    void set_sample(std::u16string_view text) {
        m_text = text;
        mark_redraw();
    }

private:
    std::shared_ptr<FontRep> m_font;
    std::u16string m_text;
    Color m_color;
    HAlign m_halign = HAlign::Center;
    VAlign m_valign = VAlign::VCenter;
    bool m_wrap = false;
};

class SampleButton : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override {
        Widget::load(properties, element);
        show_look(*this, u"#normal");
        set_text(properties.translate(properties.get_string(element, u"text", u"")));
    }
};

class SampleProgress : public Widget {
public:
    using Widget::Widget;
};

template <typename Kind>
void add_kind(WidgetRegistry& registry, const char16_t* keyword) {
    if (!registry.contains(keyword)) register_widget<Kind>(registry, keyword);
}
}  // namespace

void ensure_widget_kinds() {
    WidgetRegistry& registry = WidgetRegistry::global();
    add_kind<Widget>(registry, u"node");
    add_kind<SampleText>(registry, u"text");
    add_kind<SampleColor>(registry, u"color");
    add_kind<SampleImage>(registry, u"image");
    add_kind<SampleText>(registry, u"edit");
    add_kind<HTableWidget>(registry, u"htable");
    add_kind<VTableWidget>(registry, u"vtable");
    add_kind<SampleButton>(registry, u"button");
    add_kind<Widget>(registry, u"vlist");
    add_kind<Widget>(registry, u"checkbox");
    add_kind<SampleProgress>(registry, u"progress");
    add_kind<SampleText>(registry, u"oldtext");
    add_kind<Widget>(registry, u"label_edit");
    add_kind<Widget>(registry, u"clip");
    add_kind<Widget>(registry, u"waveform");
}

std::unique_ptr<Widget> bind_as_screen(const Properties& properties, const skin_lookups::BoundElement& lookups) {
    ensure_widget_kinds();
    auto screen = std::make_unique<Widget>();
    if (!screen->bind(properties, lookups.element)) throw NodeNotFoundInSkin(std::u16string(lookups.element));
    for (std::u16string_view id : lookups.children) screen->attach(id, nullptr);
    for (std::u16string_view id : lookups.hidden_at_start) screen->attach(id, nullptr)->set_visible(false);
    return screen;
}

bool set_sample_text(Widget& widget, std::u16string_view text) {
    if (auto* real = dynamic_cast<TextWidget*>(&widget)) {
        real->set_text(text);
        return true;
    }
    auto* sample = dynamic_cast<SampleText*>(&widget);
    if (sample) sample->set_sample(text);
    return sample != nullptr;
}

bool set_sample_picture(Widget& image, const PictureRef& picture) {
    if (auto* real = dynamic_cast<ImageWidget*>(&image)) {
        real->set_picture(picture);
        return true;
    }
    auto* sample = dynamic_cast<SampleImage*>(&image);
    if (sample) sample->set_sample(picture);
    return sample != nullptr;
}

std::optional<int32_t> text_line_height(Widget& widget) {
    if (auto* real = dynamic_cast<TextWidget*>(&widget)) return real->font().line_height();
    auto* sample = dynamic_cast<SampleText*>(&widget);
    if (!sample) return std::nullopt;
    return sample->font().line_height();
}

std::optional<int32_t> text_width(Widget& widget, std::u16string_view text) {
    if (auto* real = dynamic_cast<TextWidget*>(&widget)) return real->font().text_width(text);
    auto* sample = dynamic_cast<SampleText*>(&widget);
    if (!sample) return std::nullopt;
    return sample->font().text_width(text);
}

std::optional<std::u16string> own_text(Widget& widget) {
    if (auto* real = dynamic_cast<TextWidget*>(&widget)) return real->shown_text();
    auto* sample = dynamic_cast<SampleText*>(&widget);
    if (!sample) return std::nullopt;
    return sample->sample_text();
}

std::optional<int32_t> text_height_needed(Widget& widget) {
    if (auto* real = dynamic_cast<TextWidget*>(&widget)) {
        const auto lines = break_text_lines(real->font(), real->shown_text(), widget.size().width, real->wraps());
        return static_cast<int32_t>(std::max<size_t>(1, lines.size())) * real->font().line_height();
    }
    auto* sample = dynamic_cast<SampleText*>(&widget);
    if (!sample) return std::nullopt;
    const auto lines = break_text_lines(sample->font(), sample->sample_text(), widget.size().width, sample->wraps());
    return static_cast<int32_t>(std::max<size_t>(1, lines.size())) * sample->font().line_height();
}

bool set_sample_value(Widget& progress, double value) {
    if (!dynamic_cast<SampleProgress*>(&progress)) return false;
    for (const auto& child : progress.children()) {
        if (child->id() != u"#line") continue;
        const int32_t room = progress.size().width - child->border_min().x;
        const int32_t length = static_cast<int32_t>(std::floor(room * value));
        child->set_design_size({length < 1 ? 0 : length, child->design_size().y});
        child->invalidate_layout();
    }
    return true;
}

void show_look(Widget& button, std::u16string_view look) {
    for (const auto& child : button.children()) {
        const std::u16string& id = child->id();
        if (id == u"#normal" || id == u"#pressed" || id == u"#disabled") child->set_visible(id == look);
    }
}

namespace {
void walk_children(const Properties& properties, ElementInTree& context,
                   const std::function<void(const ElementInTree&)>& visit) {
    const SkinElement parent = context.element;
    const uint32_t count = properties.child_count(parent);
    std::vector<SkinElement> before;
    for (uint32_t i = 0; i < count; ++i) {
        const std::optional<SkinElement> child = properties.child(parent, i);
        if (!child) continue;
        ElementInTree inner{*child,
                            context.top_level,
                            {},
                            {},
                            properties.get_string(*child, u"type", u""),
                            properties.get_string(*child, u"id", u"")};
        inner.ancestors.push_back(parent);
        inner.ancestors.insert(inner.ancestors.end(), context.ancestors.begin(), context.ancestors.end());
        inner.before.assign(before.rbegin(), before.rend());
        visit(inner);
        walk_children(properties, inner, visit);
        before.push_back(*child);
    }
}
}  // namespace

void walk_skin(const Properties& properties, const std::function<void(const ElementInTree&)>& visit) {
    for (const auto& [name, element] : properties.top_level_elements()) {
        ElementInTree top{element,
                          name,
                          {},
                          {},
                          properties.get_string(element, u"type", u""),
                          properties.get_string(element, u"id", u"")};
        visit(top);
        walk_children(properties, top, visit);
    }
}

}  // namespace skin_data
