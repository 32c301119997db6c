#include "skin/text_widget.h"

#include <algorithm>
#include <cmath>

#include "skin/text_lines.h"

namespace {
constexpr std::u16string_view kEllipsis = u"...";

std::u16string one_line(std::u16string_view text) {
    std::u16string line(text);
    std::replace(line.begin(), line.end(), u'\n', u' ');
    std::replace(line.begin(), line.end(), u'\r', u' ');
    return line;
}
}  // namespace

Rect bounded_text_box(Rect box, const RenderSurface& surface) {
    const Size whole = surface.size();
    if (static_cast<int64_t>(box.right) - box.left <= whole.width &&
        static_cast<int64_t>(box.bottom) - box.top <= whole.height) {
        return box;
    }
    return intersect(box, surface.clip());
}

std::shared_ptr<FontRep> default_font(int32_t hi_res) {
    static std::shared_ptr<FontRep> fonts[2];
    const int index = hi_res > 0 ? 1 : 0;
    if (!fonts[index]) {
        FontSpec spec;
        spec.scale = 1 << index;
        fonts[index] = std::make_shared<FontRep>(spec);
    }
    return fonts[index];
}

HAlign parse_halign(std::u16string_view keyword) {
    if (keyword == u"LEFT") return HAlign::Left;
    if (keyword == u"RIGHT") return HAlign::Right;
    if (keyword == u"JUSTIFY") return HAlign::Justify;
    return HAlign::Center;
}

VAlign parse_valign(std::u16string_view keyword) {
    if (keyword == u"TOP") return VAlign::Top;
    if (keyword == u"BOTTOM") return VAlign::Bottom;
    return VAlign::VCenter;
}

void TextWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_font = properties.get_font(element, u"font", nullptr);
    if (!m_font) m_font = default_font(properties.hi_res());
    m_color = properties.get_color(element, u"color", Color{0, 0, 0, 255});
    m_halign = parse_halign(properties.get_string(element, u"halign", u"CENTER"));
    m_valign = parse_valign(properties.get_string(element, u"valign", u"VCENTER"));
    m_wrap = properties.get_int(element, u"wrap", 0) != 0;
    m_grow_min = properties.get_int(element, u"grow_min", 0) != 0;
    m_grow = m_grow_min || properties.get_int(element, u"grow", 0) != 0;
    m_left = find_child(u"#left");
    m_right = find_child(u"#right");
    for (Widget* side : {m_left, m_right}) {
        if (side) {
            side->set_geometry_sink(nullptr);
            side->set_controller(nullptr);
        }
    }
    replace_text(properties.translate(properties.get_string(element, u"text", u"")));
}

void OldTextWidget::load(const Properties& properties, SkinElement element) {
    TextWidget::load(properties, element);
    m_grow_min = false;
    m_left = m_right = nullptr;
}

void TextWidget::set_property(std::u16string_view name, std::u16string_view value) {
    if (!name.empty() && name == id()) replace_text(std::u16string(value));
    Widget::set_property(name, value);
}

void TextWidget::set_text(std::u16string_view text) {
    replace_text(std::u16string(text));
    Widget::set_text(text);
}

void TextWidget::replace_text(std::u16string text) {
    m_runs.clear();
    if (text == m_shown) return;
    m_shown = std::move(text);
    invalidate_layout();
    mark_redraw();
}

void TextWidget::set_color(Color color) {
    if (color == m_color) return;
    m_color = color;
    mark_redraw();
}

void TextWidget::set_font(std::shared_ptr<FontRep> font) {
    if (!font) return;
    m_font = std::move(font);
    invalidate_layout();
    mark_redraw();
}

void TextWidget::set_highlight(size_t start, size_t count, Color color) {
    m_runs.clear();
    start = std::min(start, m_shown.size());
    const size_t end = std::min(m_shown.size(), start + std::min(count, m_shown.size()));
    if (end > start) m_runs.push_back({start, end, color});
    mark_redraw();
}

void TextWidget::clear_highlight() {
    if (m_runs.empty()) return;
    m_runs.clear();
    mark_redraw();
}

Color TextWidget::color_at(size_t index) const {
    for (const Run& run : m_runs) {
        if (index >= run.begin && index < run.end) return run.color;
    }
    return m_color;
}

int32_t TextWidget::line_height() const { return m_font ? std::max(1, m_font->line_height()) : 20; }

int32_t TextWidget::side_width(const Widget* side) const {
    return side && side->is_visible() ? std::max(0, side->size().width) : 0;
}

Rect TextWidget::text_box(Point origin) const {
    return {origin.x + side_width(m_left), origin.y, origin.x + size().width - side_width(m_right),
            origin.y + size().height};
}

void TextWidget::layout_x() {
    Widget::layout_x();
    if (m_left || m_right) {
        const int32_t w = std::max(0, size().width);
        int64_t left = m_left && m_left->is_visible() ? std::max(0, m_left->measure_width().preferred) : 0;
        int64_t right = m_right && m_right->is_visible() ? std::max(0, m_right->measure_width().preferred) : 0;
        if (left + right > w) {
            left = left + right > 0
                       ? static_cast<int64_t>(std::floor(static_cast<double>(w) * left / (left + right) + 0.5))
                       : 0;
            right = w - left;
        }
        if (m_left) m_left->set_x(position().x, static_cast<int32_t>(left));
        if (m_right) m_right->set_x(position().x + w - static_cast<int32_t>(right), static_cast<int32_t>(right));
    }
    // A wrapping text that grows is as high as its lines at this width.
    if (m_wrap && m_grow && size().width != m_last_width) {
        m_last_width = size().width;
        invalidate_layout();
    }
}

MeasuredPair TextWidget::compute_width() {
    MeasuredPair pair = Widget::compute_width();
    if (!m_grow || !m_font) return pair;
    int32_t text_width = 0;
    if (m_wrap) {
        // The widest paragraph, unbroken.
        size_t start = 0;
        while (start <= m_shown.size()) {
            size_t end = m_shown.find(u'\n', start);
            if (end == std::u16string::npos) end = m_shown.size();
            text_width =
                std::max(text_width, m_font->text_width(std::u16string_view(m_shown).substr(start, end - start)));
            start = end + 1;
        }
    } else {
        text_width = m_font->text_width(one_line(m_shown));
    }
    const int32_t sides = (m_left ? std::max(0, m_left->measure_width().preferred) : 0) +
                          (m_right ? std::max(0, m_right->measure_width().preferred) : 0);
    const int64_t wanted = std::min<int64_t>(static_cast<int64_t>(text_width) + sides, INT32_MAX);
    pair.preferred = std::max<int32_t>(pair.preferred, static_cast<int32_t>(wanted));
    if (m_grow_min) pair.minimum = std::max<int32_t>(pair.minimum, static_cast<int32_t>(wanted));
    return pair;
}

MeasuredPair TextWidget::compute_height() {
    MeasuredPair pair = Widget::compute_height();
    if (!m_grow || !m_font) return pair;
    int32_t width = text_box({0, 0}).width();
    if (width <= 0) width = INT32_MAX / 2;
    const size_t lines = m_wrap ? break_lines(*m_font, m_shown, width, true, false).size() : 1;
    const int64_t text_height = static_cast<int64_t>(lines) * line_height();
    const int32_t height = static_cast<int32_t>(std::min<int64_t>(text_height, INT32_MAX));
    pair.preferred = std::max(pair.preferred, height);
    pair.minimum = std::max(pair.minimum, m_wrap && !m_grow_min ? std::min(height, 20) : height);
    return pair;
}

std::vector<TextWidget::Piece> TextWidget::pieces(std::u16string_view text, size_t begin, size_t end, int32_t width,
                                                  bool must_end) {
    // Indices into the whole text of the code units shown, and where an ellipsis goes.
    std::u16string_view line = text.substr(begin, end - begin);
    size_t keep_begin = begin, keep_end = end;
    bool ellipsis_front = false, ellipsis_back = false;
    if (must_end || m_font->text_width(line) > width) {
        const int32_t room = std::max(0, width - m_font->text_width(kEllipsis));
        if (m_halign == HAlign::Right && !must_end) {
            // Built from the right edge: the end of the text stays in view.
            size_t count = 0;
            int32_t used = 0;
            std::vector<int32_t> widths;
            m_font->char_widths(line, widths);
            while (count < line.size() && used + widths[line.size() - 1 - count] <= room) {
                used += widths[line.size() - 1 - count];
                ++count;
            }
            keep_begin = end - count;
            ellipsis_front = true;
        } else {
            keep_end = begin + m_font->fit(line, room);
            ellipsis_back = true;
        }
    }
    std::vector<Piece> out;
    auto add = [&](std::u16string_view piece, Color color) {
        if (piece.empty()) return;
        if (!out.empty() && out.back().color == color) {
            out.back().text += piece;
        } else {
            out.push_back({std::u16string(piece), color});
        }
    };
    if (ellipsis_front) add(kEllipsis, color_at(keep_begin));
    size_t i = keep_begin;
    while (i < keep_end) {
        const Color color = color_at(i);
        size_t j = i + 1;
        while (j < keep_end && color_at(j) == color) ++j;
        add(text.substr(i, j - i), color);
        i = j;
    }
    if (ellipsis_back) add(kEllipsis, color_at(keep_end > begin ? keep_end - 1 : begin));
    return out;
}

std::vector<std::vector<TextWidget::Piece>> TextWidget::shown_lines() {
    std::vector<std::vector<Piece>> result;
    const Rect box = text_box({0, 0});
    if (!m_font || m_shown.empty() || box.empty()) return result;
    const std::u16string text = m_wrap ? m_shown : one_line(m_shown);
    std::vector<TextLine> lines = break_lines(*m_font, text, box.width(), m_wrap, false);
    const size_t fit = std::max<size_t>(1, static_cast<size_t>(box.height() / line_height()));
    const bool cut = lines.size() > fit;
    if (cut) lines.resize(fit);
    for (size_t n = 0; n < lines.size(); ++n) {
        const bool last_cut = cut && n + 1 == lines.size();
        result.push_back(pieces(text, lines[n].begin, lines[n].end, box.width(), last_cut));
    }
    return result;
}

void TextWidget::draw_lines(RenderSurface& surface, Rect box) {
    if (box.empty()) return;
    const std::vector<std::vector<Piece>> lines = shown_lines();
    const int32_t height = line_height();
    const int32_t total = height * static_cast<int32_t>(lines.size());
    int32_t y = m_valign == VAlign::Top      ? box.top
                : m_valign == VAlign::Bottom ? box.bottom - total
                                             : box.top + (box.height() - total) / 2;
    for (const std::vector<Piece>& line : lines) {
        int32_t width = 0;
        for (const Piece& piece : line) width += m_font->text_width(piece.text);
        int32_t x = m_halign == HAlign::Center  ? box.left + (box.width() - width) / 2
                    : m_halign == HAlign::Right ? box.right - width
                                                : box.left;
        for (const Piece& piece : line) {
            const int32_t piece_width = m_font->text_width(piece.text);
            ::draw_text(surface, *m_font, piece.color, piece.text,
                        bounded_text_box({x, y, x + piece_width, y + height}, surface), HAlign::Left, VAlign::Top,
                        false, box);
            x += piece_width;
        }
        y += height;
    }
}

void TextWidget::draw(RenderSurface& surface, Point origin) {
    Widget::draw(surface, origin);
    draw_lines(surface, text_box(origin));
}

void OldTextWidget::draw(RenderSurface& surface, Point origin) {
    Widget::draw(surface, origin);
    ::draw_text(surface, font(), m_color, shown_text(),
                bounded_text_box({origin.x, origin.y, origin.x + size().width, origin.y + size().height}, surface),
                halign(), valign(), wraps());
}
