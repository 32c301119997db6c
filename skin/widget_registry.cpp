#include "skin/widget_registry.h"

#include "skin/skin_exceptions.h"
#include "skin/widget.h"

WidgetRegistry& WidgetRegistry::global() {
    static WidgetRegistry registry;
    return registry;
}

void WidgetRegistry::register_type(const std::u16string& keyword, Factory factory) {
    if (!m_factories.emplace(keyword, std::move(factory)).second) throw NodeAlreadyRegistered(keyword);
}

Widget* WidgetRegistry::create(const std::u16string& keyword, Widget* parent) const {
    const auto found = m_factories.find(keyword);
    if (found == m_factories.end()) throw NodeNotRegistered(keyword);
    std::unique_ptr<Widget> widget = found->second(parent);
    if (!parent) return widget.release();
    return parent->add_child(std::move(widget));
}
