#include "telephony/bridge/dbus_values.h"

#include "os/log.h"
#include "os/text.h"

namespace dbus_values {

namespace {

bool is(const Value& value, std::string_view type, std::string_view what) {
    if (!value.is_valid()) return false;
    if (value.is(type)) return true;
    os::log() << u"bridge: " << os::from_utf8(std::string(what)) << u" has the wrong type "
              << os::from_utf8(value.type()) << u"\n";
    return false;
}

}  // namespace

std::optional<int32_t> int32(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!is(inner, "i", what)) return std::nullopt;
    return inner.int32();
}

std::optional<uint32_t> uint32(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!is(inner, "u", what)) return std::nullopt;
    return inner.uint32();
}

std::optional<bool> boolean(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!is(inner, "b", what)) return std::nullopt;
    return inner.boolean();
}

std::optional<std::u16string> text(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!is(inner, "s", what)) return std::nullopt;
    return os::from_utf8(*inner.string());
}

std::optional<std::string> object_path(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!is(inner, "o", what)) return std::nullopt;
    return inner.string();
}

std::optional<std::vector<std::string>> strings(const Value& value, std::string_view what) {
    const Value inner = value.unboxed();
    if (!inner.is_valid()) return std::nullopt;
    if (!inner.is("ao") && !inner.is("as")) {
        is(inner, "as", what);
        return std::nullopt;
    }
    std::vector<std::string> out;
    const size_t count = inner.size();
    for (size_t i = 0; i < count; ++i) out.push_back(inner.child(i).string().value_or(""));
    return out;
}

Value lookup(const Value& dictionary, const char* key) {
    const Value inner = dictionary.unboxed();
    if (!inner.is("a{sv}")) return Value();
    return inner.lookup(key);
}

std::string describe(const Value& value) {
    if (!value.is_valid()) return "(none)";
    std::string out = value.print();
    if (out.size() > 200) out = out.substr(0, 200) + "...";
    return out;
}

}  // namespace dbus_values
