#include "telephony/bridge/dbus_values.h"

#include <gio/gio.h>

#include "os/log.h"
#include "os/text.h"

namespace dbus_values {

namespace {

// The value inside the variant boxes a sender may have wrapped it in; it holds a reference of its
// own for as long as it lives.
class Unboxed {
public:
    explicit Unboxed(GVariant* value) : m_value(value ? g_variant_ref(value) : nullptr) {
        while (m_value && g_variant_is_of_type(m_value, G_VARIANT_TYPE_VARIANT)) {
            GVariant* inner = g_variant_get_variant(m_value);
            g_variant_unref(m_value);
            m_value = inner;
        }
    }
    ~Unboxed() {
        if (m_value) g_variant_unref(m_value);
    }
    Unboxed(const Unboxed&) = delete;
    Unboxed& operator=(const Unboxed&) = delete;
    GVariant* get() const { return m_value; }

private:
    GVariant* m_value;
};

bool is(GVariant* value, const GVariantType* type, std::string_view what) {
    if (!value) return false;
    if (g_variant_is_of_type(value, type)) return true;
    os::log() << u"bridge: " << os::from_utf8(std::string(what)) << u" has the wrong type "
              << os::from_utf8(g_variant_get_type_string(value)) << u"\n";
    return false;
}

}  // namespace

std::optional<int32_t> int32(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    if (!is(inner.get(), G_VARIANT_TYPE_INT32, what)) return std::nullopt;
    return g_variant_get_int32(inner.get());
}

std::optional<uint32_t> uint32(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    if (!is(inner.get(), G_VARIANT_TYPE_UINT32, what)) return std::nullopt;
    return g_variant_get_uint32(inner.get());
}

std::optional<bool> boolean(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    if (!is(inner.get(), G_VARIANT_TYPE_BOOLEAN, what)) return std::nullopt;
    return g_variant_get_boolean(inner.get()) != FALSE;
}

std::optional<std::u16string> text(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    if (!is(inner.get(), G_VARIANT_TYPE_STRING, what)) return std::nullopt;
    gsize length = 0;
    const char* bytes = g_variant_get_string(inner.get(), &length);
    return os::from_utf8(std::string_view(bytes, length));
}

std::optional<std::string> object_path(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    if (!is(inner.get(), G_VARIANT_TYPE_OBJECT_PATH, what)) return std::nullopt;
    return std::string(g_variant_get_string(inner.get(), nullptr));
}

std::optional<std::vector<std::string>> strings(GVariant* value, std::string_view what) {
    const Unboxed inner(value);
    value = inner.get();
    if (!value) return std::nullopt;
    if (!g_variant_is_of_type(value, G_VARIANT_TYPE_OBJECT_PATH_ARRAY) &&
        !g_variant_is_of_type(value, G_VARIANT_TYPE_STRING_ARRAY)) {
        is(value, G_VARIANT_TYPE_STRING_ARRAY, what);
        return std::nullopt;
    }
    std::vector<std::string> out;
    const gsize count = g_variant_n_children(value);
    for (gsize i = 0; i < count; ++i) {
        GVariant* child = g_variant_get_child_value(value, i);
        out.emplace_back(g_variant_get_string(child, nullptr));
        g_variant_unref(child);
    }
    return out;
}

GVariant* lookup(GVariant* dictionary, const char* key) {
    const Unboxed inner(dictionary);
    if (!inner.get() || !g_variant_is_of_type(inner.get(), G_VARIANT_TYPE_VARDICT)) return nullptr;
    return g_variant_lookup_value(inner.get(), key, nullptr);
}

std::string describe(GVariant* value) {
    if (!value) return "(none)";
    gchar* printed = g_variant_print(value, TRUE);
    std::string out = printed;
    g_free(printed);
    if (out.size() > 200) out = out.substr(0, 200) + "...";
    return out;
}

}  // namespace dbus_values
