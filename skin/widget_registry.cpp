#include "skin/widget_registry.h"

#include "skin/skin_exceptions.h"
#include "skin/widget.h"
#include "skin/widget_kinds.h"

WidgetRegistry& WidgetRegistry::global() {
    // Filled with the standard kinds at first use, which is before any skin is bound,
    // so every program and tool that binds a skin builds it from the real kinds.
    static WidgetRegistry registry = [] {
        WidgetRegistry standard;
        register_standard_widgets(standard);
        return standard;
    }();
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
