#pragma once
// Turns an element's "type" keyword into a widget. Filled once at application start, before the
// first skin is bound, and never changed afterwards.
#include <functional>
#include <map>
#include <memory>
#include <string>

class Widget;

class WidgetRegistry {
public:
    using Factory = std::function<std::unique_ptr<Widget>(Widget* parent)>;

    // The process-wide registry that skin loading uses, holding the standard kinds of
    // widget_kinds.h from its first use on.
    static WidgetRegistry& global();

    // Throws NodeAlreadyRegistered when the keyword is present.
    void register_type(const std::u16string& keyword, Factory factory);
    // Removes a keyword (nothing when it is absent).
    void unregister_type(const std::u16string& keyword) { m_factories.erase(keyword); }
    bool contains(const std::u16string& keyword) const { return m_factories.count(keyword) != 0; }
    // Creates the widget and appends it to `parent`'s children; throws NodeNotRegistered for an
    // unknown keyword.
    Widget* create(const std::u16string& keyword, Widget* parent) const;

private:
    std::map<std::u16string, Factory> m_factories;
};

// Registers a widget class by keyword: register_widget<ButtonWidget>(registry, u"button").
template <typename T>
void register_widget(WidgetRegistry& registry, const std::u16string& keyword) {
    registry.register_type(keyword, [](Widget* parent) { return std::make_unique<T>(parent); });
}
