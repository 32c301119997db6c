#include "skin/edit_widget.h"

#include <algorithm>

#include "skin/input_scope.h"
#include "skin/text_input_host.h"

namespace {
constexpr Color kSelection{51, 153, 255, 255};
}  // namespace

EditWidget::EditWidget(Widget* parent) : TextWidget(parent) { register_for_input(); }

EditWidget::~EditWidget() {
    if (edited_widget() == this) set_edited_widget(nullptr);
}

void EditWidget::load(const Properties& properties, SkinElement element) {
    TextWidget::load(properties, element);
    m_background = properties.get_color(element, u"background_color", Color{0, 0, 0, 255});
    m_caret = shown_text().size();
}

void EditWidget::set_text(std::u16string_view text) {
    TextWidget::set_text(text);
    m_caret = shown_text().size();
    m_all_selected = false;
    keep_caret_in_view();
}

bool EditWidget::has_focus() const { return input_scope() && input_scope()->focus() == this; }

void EditWidget::focus() {
    if (InputScope* scope = input_scope()) scope->set_focus(this);
    set_edited_widget(this);
    mark_redraw();
}

void EditWidget::set_caret(size_t caret) {
    m_caret = std::min(caret, shown_text().size());
    m_all_selected = false;
    keep_caret_in_view();
    mark_redraw();
}

void EditWidget::select_all() {
    m_all_selected = true;
    m_caret = shown_text().size();
    keep_caret_in_view();
    mark_redraw();
}

std::vector<TextLine> EditWidget::lines(int32_t width) {
    return break_lines(font(), shown_text(), std::max(1, width), wraps(), true);
}

size_t EditWidget::caret_line(const std::vector<TextLine>& all) const {
    size_t found = 0;
    for (size_t n = 0; n < all.size(); ++n) {
        if (all[n].begin <= m_caret) found = n;
    }
    return found;
}

int32_t EditWidget::x_in_line(const TextLine& line, size_t index) {
    index = std::clamp(index, line.begin, line.end);
    return font().text_width(std::u16string_view(shown_text()).substr(line.begin, index - line.begin));
}

size_t EditWidget::index_at(const TextLine& line, int32_t x) {
    std::vector<int32_t> widths;
    std::u16string_view text = std::u16string_view(shown_text()).substr(line.begin, line.end - line.begin);
    font().char_widths(text, widths);
    int32_t used = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (x < used + widths[i] / 2) return line.begin + i;
        used += widths[i];
    }
    return line.end;
}

void EditWidget::keep_caret_in_view() {
    const Rect box = text_box({0, 0});
    if (box.empty()) return;
    const std::vector<TextLine> all = lines(box.width());
    const size_t line = caret_line(all);
    if (!wraps()) {
        const int32_t text_width = font().text_width(shown_text());
        const int32_t caret_x = x_in_line(all[line], m_caret);
        if (text_width < box.width()) {
            m_scroll_x = 0;
        } else {
            m_scroll_x = std::clamp(m_scroll_x, caret_x - box.width() + 2, caret_x);
            m_scroll_x = std::clamp(m_scroll_x, 0, std::max(0, text_width - box.width() + 2));
        }
    } else {
        const int32_t height = line_height();
        const int32_t total = height * static_cast<int32_t>(all.size());
        const int32_t top = height * static_cast<int32_t>(line);
        if (total <= box.height()) {
            m_scroll_y = 0;
        } else {
            m_scroll_y = std::clamp(m_scroll_y, top + height - box.height(), top);
            m_scroll_y = std::clamp(m_scroll_y, 0, total - box.height());
        }
    }
}

void EditWidget::draw(RenderSurface& surface, Point origin) {
    surface.fill({origin.x, origin.y, origin.x + size().width, origin.y + size().height}, m_background);
    Widget::draw(surface, origin);
    const Rect box = text_box(origin);
    if (box.empty()) return;
    const std::vector<TextLine> all = lines(box.width());
    const int32_t height = line_height();
    const int32_t total = height * static_cast<int32_t>(all.size());
    int32_t top = box.top - m_scroll_y;
    if (total <= box.height()) {
        top = valign() == VAlign::Top      ? box.top
              : valign() == VAlign::Bottom ? box.bottom - total
                                           : box.top + (box.height() - total) / 2;
    }
    const bool selected = is_all_selected();
    const std::u16string_view text = shown_text();
    for (size_t n = 0; n < all.size(); ++n) {
        const int32_t y = top + height * static_cast<int32_t>(n);
        if (y + height <= box.top || y >= box.bottom) continue;
        const std::u16string_view line = text.substr(all[n].begin, all[n].end - all[n].begin);
        const int32_t width = font().text_width(line);
        int32_t x = box.left - m_scroll_x;
        if (width < box.width()) {
            x = halign() == HAlign::Center  ? box.left + (box.width() - width) / 2
                : halign() == HAlign::Right ? box.right - width
                                            : box.left;
        }
        const Rect line_box{x, y, x + width, y + height};
        if (selected) surface.fill(intersect(line_box, box), kSelection);
        // Only the characters inside the box are drawn: a long line scrolled sideways would
        // otherwise go through a scratch box as wide as the whole line.
        std::vector<int32_t> widths;
        font().char_widths(line, widths);
        size_t from = 0;
        int32_t from_x = x;
        while (from < line.size() && from_x + widths[from] <= box.left) from_x += widths[from++];
        size_t to = from;
        int32_t to_x = from_x;
        while (to < line.size() && to_x < box.right) to_x += widths[to++];
        ::draw_text(surface, font(), m_color, line.substr(from, to - from),
                    bounded_text_box({from_x, y, to_x, y + height}, surface), HAlign::Left, VAlign::Top, false, box);
        if (has_focus() && n == caret_line(all)) {
            const int32_t caret_x = x + x_in_line(all[n], m_caret);
            surface.fill(intersect({caret_x, y, caret_x + std::max(1, height / 12), y + height}, box), m_color);
        }
    }
    if (all.empty() && has_focus()) {
        surface.fill(intersect({box.left, box.top, box.left + 1, box.top + height}, box), m_color);
    }
}

bool EditWidget::on_pointer_button(const PointerEvent& event) {
    if (!event.down || event.cancel) return true;
    focus();
    // The caret goes to the character nearest the press.
    const Rect box = text_box(position());
    const std::vector<TextLine> all = lines(box.width());
    if (!all.empty()) {
        const int32_t height = line_height();
        const int32_t total = height * static_cast<int32_t>(all.size());
        const int32_t top = total <= box.height() ? box.top + (box.height() - total) / 2 : box.top - m_scroll_y;
        const int32_t row = std::clamp((event.y - top) / height, 0, static_cast<int32_t>(all.size()) - 1);
        const TextLine& line = all[static_cast<size_t>(row)];
        const int32_t width = x_in_line(line, line.end);
        int32_t x = box.left - m_scroll_x;
        if (width < box.width()) {
            x = halign() == HAlign::Center  ? box.left + (box.width() - width) / 2
                : halign() == HAlign::Right ? box.right - width
                                            : box.left;
        }
        set_caret(index_at(line, event.x - x));
    }
    if (EventSink* sink = controller()) sink->on_click(this, event);
    return true;
}

void EditWidget::edited(std::u16string text, size_t caret) {
    replace_text(std::move(text));
    m_caret = std::min(caret, shown_text().size());
    m_all_selected = false;
    keep_caret_in_view();
    mark_redraw();
    if (EventSink* sink = controller()) sink->on_text_changed(this);
}

bool EditWidget::on_key(const KeyEvent& event) {
    if (!event.pressed || !has_focus()) return false;
    const std::u16string text = shown_text();
    switch (event.code) {
        case key::Backspace:
            if (is_all_selected()) {
                edited(u"", 0);
            } else if (!text.empty() && m_caret > 0) {
                std::u16string changed = text;
                changed.erase(m_caret - 1, 1);
                edited(std::move(changed), m_caret - 1);
            }
            return true;
        case key::Del:
            if (is_all_selected()) {
                edited(u"", 0);
            } else if (m_caret < text.size()) {
                std::u16string changed = text;
                changed.erase(m_caret, 1);
                edited(std::move(changed), m_caret);
            }
            return true;
        case key::Enter:
            return on_char(u'\n');
        case key::Left:
            // A whole selection collapses to its start, as in every text field.
            set_caret(is_all_selected() ? 0 : (m_caret > 0 ? m_caret - 1 : 0));
            return true;
        case key::Right:
            set_caret(is_all_selected() ? text.size() : m_caret + 1);
            return true;
        case key::Home:
        case key::End: {
            // The start or end of the caret's line; the last line ends at the text's end.
            const std::vector<TextLine> all = lines(text_box({0, 0}).width());
            if (all.empty()) {
                set_caret(0);
                return true;
            }
            const TextLine& line = all[caret_line(all)];
            const bool last = &line == &all.back();
            set_caret(event.code == key::Home ? line.begin : (last ? text.size() : line.end));
            return true;
        }
        case key::A:
            if (!event.ctrl) return false;
            select_all();
            return true;
        case key::Up:
        case key::Down: {
            if (!wraps()) return false;
            const Rect box = text_box({0, 0});
            const std::vector<TextLine> all = lines(box.width());
            const size_t line = caret_line(all);
            const int32_t x = x_in_line(all[line], m_caret);
            if (event.code == key::Up && line > 0) set_caret(index_at(all[line - 1], x));
            if (event.code == key::Down && line + 1 < all.size()) set_caret(index_at(all[line + 1], x));
            mark_redraw();
            return true;
        }
        default:
            return false;
    }
}

bool EditWidget::on_char(char16_t character) {
    if (!has_focus()) return false;
    if (character == u'\n' ? !wraps() : character < 0x20) return false;
    std::u16string text = is_all_selected() ? std::u16string() : shown_text();
    const size_t at = is_all_selected() ? 0 : std::min(m_caret, text.size());
    if (text.size() >= kMaxLength) return true;
    text.insert(at, 1, character);
    edited(std::move(text), at + 1);
    return true;
}
