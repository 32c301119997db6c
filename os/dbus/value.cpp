#include <string>

#include "os/dbus/gio_link.h"

namespace os::dbus {

Value adopt(GVariant* value) {
    if (!value) return Value();
    return Value(std::make_shared<const ValueData>(g_variant_take_ref(value)));
}

Value borrow(GVariant* value) {
    if (!value) return Value();
    return Value(std::make_shared<const ValueData>(g_variant_ref_sink(value)));
}

GVariant* to_gio(const Args& args) {
    if (args.items().empty()) return nullptr;
    GVariantBuilder builder;
    g_variant_builder_init(&builder, G_VARIANT_TYPE_TUPLE);
    for (const Args::Item& item : args.items()) {
        if (const auto* text = std::get_if<std::string>(&item)) {
            g_variant_builder_add(&builder, "s", text->c_str());
        } else if (const auto* flag = std::get_if<bool>(&item)) {
            g_variant_builder_add(&builder, "b", *flag ? TRUE : FALSE);
        } else if (const auto* unsigned_number = std::get_if<uint32_t>(&item)) {
            g_variant_builder_add(&builder, "u", *unsigned_number);
        } else {
            g_variant_builder_add(&builder, "i", std::get<int32_t>(item));
        }
    }
    return g_variant_builder_end(&builder);
}

namespace {

GVariant* gio_of(const Value& value) { return value.data() ? value.data()->gio : nullptr; }

}  // namespace

std::string Value::type() const {
    GVariant* value = gio_of(*this);
    return value ? g_variant_get_type_string(value) : "";
}

bool Value::is(std::string_view type) const {
    GVariant* value = gio_of(*this);
    if (!value) return false;
    const std::string text(type);
    if (!g_variant_type_string_is_valid(text.c_str())) return false;
    return g_variant_is_of_type(value, G_VARIANT_TYPE(text.c_str()));
}

Value Value::unboxed() const {
    Value inner = *this;
    while (inner.is("v")) inner = adopt(g_variant_get_variant(gio_of(inner)));
    return inner;
}

size_t Value::size() const {
    GVariant* value = gio_of(*this);
    if (!value || !g_variant_is_container(value)) return 0;
    return g_variant_n_children(value);
}

Value Value::child(size_t index) const {
    if (index >= size()) return Value();
    return adopt(g_variant_get_child_value(gio_of(*this), index));
}

Value Value::lookup(std::string_view key, std::string_view type) const {
    GVariant* value = gio_of(*this);
    if (!value) return Value();
    // g_variant_lookup_value() wants a dictionary keyed by strings or object paths.
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE("a{s*}")) && !g_variant_is_of_type(value, G_VARIANT_TYPE("a{o*}")))
        return Value();
    const std::string type_text(type);
    if (!type_text.empty() && !g_variant_type_string_is_valid(type_text.c_str())) return Value();
    const std::string key_text(key);
    return adopt(g_variant_lookup_value(value, key_text.c_str(),
                                        type_text.empty() ? nullptr : G_VARIANT_TYPE(type_text.c_str())));
}

std::optional<int32_t> Value::int32() const {
    if (!is("i")) return std::nullopt;
    return g_variant_get_int32(gio_of(*this));
}

std::optional<uint32_t> Value::uint32() const {
    if (!is("u")) return std::nullopt;
    return g_variant_get_uint32(gio_of(*this));
}

std::optional<bool> Value::boolean() const {
    if (!is("b")) return std::nullopt;
    return g_variant_get_boolean(gio_of(*this)) != FALSE;
}

std::optional<std::string> Value::string() const {
    if (!is("s") && !is("o") && !is("g")) return std::nullopt;
    gsize length = 0;
    const char* bytes = g_variant_get_string(gio_of(*this), &length);
    return std::string(bytes, length);
}

std::string Value::print() const {
    GVariant* value = gio_of(*this);
    if (!value) return "";
    gchar* printed = g_variant_print(value, TRUE);
    std::string out = printed;
    g_free(printed);
    return out;
}

}  // namespace os::dbus
