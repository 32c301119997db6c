#pragma once
// An edit with a label ("label_edit"): the required child "#text" is shown in place of the
// required edit "#edit" while the edit is empty and has no focus (a hint such as "Name"); the
// edit's events come here and go on to this widget's controller.
#include "skin/widget.h"

class EditWidget;

class LabelEditWidget : public Widget, public EventSink {
public:
    using Widget::Widget;

    // Throws NodeNotFound when "#edit" or "#text" is missing.
    void load(const Properties& properties, SkinElement element) override;
    void tick(double elapsed_seconds) override;
    void on_click(Widget* widget, const PointerEvent& event) override;
    void on_text_changed(Widget* widget) override;

    // The edit, or none when the skin's "#edit" is not an edit.
    EditWidget* edit() const { return m_edit; }
    Widget* label() const { return m_label; }

private:
    void update_label();

    EditWidget* m_edit = nullptr;
    Widget* m_edit_child = nullptr;
    Widget* m_label = nullptr;
};
