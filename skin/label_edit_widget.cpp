#include "skin/label_edit_widget.h"

#include "skin/edit_widget.h"
#include "skin/skin_exceptions.h"

void LabelEditWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_edit_child = find_child(u"#edit");
    if (!m_edit_child) throw NodeNotFound(id(), u"#edit");
    m_label = find_child(u"#text");
    if (!m_label) throw NodeNotFound(id(), u"#text");
    m_label->set_geometry_sink(nullptr);
    m_label->set_controller(nullptr);
    m_edit_child->set_geometry_sink(nullptr);
    m_edit_child->set_controller(this);
    m_edit = dynamic_cast<EditWidget*>(m_edit_child);
    update_label();
}

void LabelEditWidget::update_label() {
    if (!m_edit || !m_label) return;
    m_label->set_visible(m_edit->shown_text().empty() && !m_edit->has_focus());
}

void LabelEditWidget::tick(double elapsed_seconds) {
    update_label();
    Widget::tick(elapsed_seconds);
}

void LabelEditWidget::on_click(Widget* widget, const PointerEvent& event) {
    update_label();
    if (EventSink* sink = controller()) sink->on_click(widget, event);
}

void LabelEditWidget::on_text_changed(Widget* widget) {
    update_label();
    if (EventSink* sink = controller()) sink->on_text_changed(widget);
}
