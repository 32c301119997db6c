#pragma once
// An editable text ("edit"): a "text" with a "background_color" behind it and a caret. A press
// gives it the key focus of its screen and the window's text input; keys act on key-down and only
// while it has the focus: Backspace and Delete, Enter (a line feed, in wrapping edits only), Left /
// Right (crossing line ends), Home / End (the caret's line), Ctrl+A (selects the whole text) and,
// when it wraps, Up / Down. Typed characters come through on_char.
//
// The caret is kept in view by scrolling the text; a text set by code can be selected whole
// (typing then replaces it). The controller hears on_click at the press and on_text_changed.
#include "skin/text_lines.h"
#include "skin/text_widget.h"

class EditWidget : public TextWidget {
public:
    explicit EditWidget(Widget* parent = nullptr);
    ~EditWidget() override;

    void load(const Properties& properties, SkinElement element) override;
    void draw(RenderSurface& surface, Point origin) override;
    // The caret goes to the end of the new text.
    void set_text(std::u16string_view text) override;
    bool on_pointer_button(const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    bool on_char(char16_t character) override;

    bool has_focus() const;
    // Takes the key focus of its screen and the window's text input.
    void focus();
    size_t caret() const { return m_caret; }
    void set_caret(size_t caret);
    void select_all();
    bool is_all_selected() const { return m_all_selected && !shown_text().empty(); }
    Color background_color() const { return m_background; }

    // Longest text the edit takes (typing beyond it is refused).
    static constexpr size_t kMaxLength = 4096;

private:
    std::vector<TextLine> lines(int32_t width);
    size_t caret_line(const std::vector<TextLine>& lines) const;
    int32_t x_in_line(const TextLine& line, size_t index);
    size_t index_at(const TextLine& line, int32_t x);
    void edited(std::u16string text, size_t caret);
    void keep_caret_in_view();

    Color m_background{0, 0, 0, 255};
    size_t m_caret = 0;
    int32_t m_scroll_x = 0;
    int32_t m_scroll_y = 0;
    bool m_all_selected = false;
};
