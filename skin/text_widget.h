#pragma once
// Texts: "text" lays its text out itself, in coloured runs (a highlighted match) that are measured
// with the font's width cache, between its optional side children "#left" and "#right"; "oldtext"
// draws its whole text with one draw_text call. Both take "font", "text" (translated), "color",
// "halign", "valign", "wrap" and "grow"; "text" also "grow_min".
#include <memory>
#include <string>
#include <vector>

#include "skin/draw_text.h"
#include "skin/widget.h"

// The application's default font (the default FontSpec, doubled on high-resolution skins).
std::shared_ptr<FontRep> default_font(int32_t hi_res);

// A text box is only as large as the scratch surface text goes through: a box larger than the
// surface drawn on is cut to what the surface shows, so absurd skin sizes cannot make the scratch
// surface (which never shrinks) larger than a screen.
Rect bounded_text_box(Rect box, const RenderSurface& surface);

HAlign parse_halign(std::u16string_view keyword);
VAlign parse_valign(std::u16string_view keyword);

class TextWidget : public Widget {
public:
    using Widget::Widget;

    void load(const Properties& properties, SkinElement element) override;
    void set_property(std::u16string_view name, std::u16string_view value) override;
    void set_text(std::u16string_view text) override;
    void draw(RenderSurface& surface, Point origin) override;
    void layout_x() override;

    const std::u16string& shown_text() const { return m_shown; }
    Color color() const { return m_color; }
    void set_color(Color color);
    // Draws `count` code units from `start` in `color` (a search match); cleared by a new text.
    void set_highlight(size_t start, size_t count, Color color);
    void clear_highlight();
    FontRep& font() const { return *m_font; }
    void set_font(std::shared_ptr<FontRep> font);
    HAlign halign() const { return m_halign; }
    VAlign valign() const { return m_valign; }
    bool wraps() const { return m_wrap; }

    // A piece of a line in one colour, as drawn.
    struct Piece {
        std::u16string text;
        Color color;
    };
    // The pieces of each shown line in the current text box (for tests and the edit).
    std::vector<std::vector<Piece>> shown_lines();

protected:
    MeasuredPair compute_width() override;
    MeasuredPair compute_height() override;
    // The rectangle the text takes at `origin`: the widget less its side children.
    Rect text_box(Point origin) const;
    // Replaces the text without passing it down; keeps the highlight only when asked.
    void replace_text(std::u16string text);
    void draw_lines(RenderSurface& surface, Rect box);
    int32_t line_height() const;
    Color m_color{0, 0, 0, 255};
    bool m_grow_min = false;
    Widget* m_left = nullptr;
    Widget* m_right = nullptr;

private:
    struct Run {
        size_t begin;
        size_t end;
        Color color;
    };
    std::vector<Piece> pieces(std::u16string_view text, size_t begin, size_t end, int32_t width, bool must_end);
    Color color_at(size_t index) const;
    int32_t side_width(const Widget* side) const;

    std::shared_ptr<FontRep> m_font;
    std::u16string m_shown;
    std::vector<Run> m_runs;
    HAlign m_halign = HAlign::Center;
    VAlign m_valign = VAlign::VCenter;
    bool m_wrap = false;
    bool m_grow = false;
    int32_t m_last_width = -1;
};

class OldTextWidget : public TextWidget {
public:
    using TextWidget::TextWidget;
    void load(const Properties& properties, SkinElement element) override;
    void draw(RenderSurface& surface, Point origin) override;
};
