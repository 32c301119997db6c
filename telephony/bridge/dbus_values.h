#pragma once
// Reading what another process sent over D-Bus without trusting it: a value of another type than
// the one asked for is absent (and logged with what it was meant to be). Private to the bridge's
// .cpp files; GLib's types are only named here, never included.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

typedef struct _GVariant GVariant;

namespace dbus_values {

// A variant's content of the asked type; absent when the value is null or of another type.
// Texts are UTF-8 (GDBus has checked them) returned as UTF-16.
std::optional<int32_t> int32(GVariant* value, std::string_view what);
std::optional<uint32_t> uint32(GVariant* value, std::string_view what);
std::optional<bool> boolean(GVariant* value, std::string_view what);
std::optional<std::u16string> text(GVariant* value, std::string_view what);
std::optional<std::string> object_path(GVariant* value, std::string_view what);
// "ao" or "as".
std::optional<std::vector<std::string>> strings(GVariant* value, std::string_view what);

// Looks a key up in an "a{sv}" dictionary; null when it is missing or the dictionary is not one.
// The caller owns the result (g_variant_unref), unless null.
GVariant* lookup(GVariant* dictionary, const char* key);

// The whole variant as GVariant text, cut for a log line.
std::string describe(GVariant* value);

}  // namespace dbus_values
