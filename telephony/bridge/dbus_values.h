#pragma once
// Reading what another process sent over D-Bus without trusting it: a value of another type than
// the one asked for is absent (and logged with what it was meant to be).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "os/dbus/value.h"

namespace dbus_values {

using os::dbus::Value;

// A value's content of the asked type, inside any variant boxes; absent when the value is none or
// of another type. Texts are UTF-8 (GDBus has checked them) returned as UTF-16.
std::optional<int32_t> int32(const Value& value, std::string_view what);
std::optional<uint32_t> uint32(const Value& value, std::string_view what);
std::optional<bool> boolean(const Value& value, std::string_view what);
std::optional<std::u16string> text(const Value& value, std::string_view what);
std::optional<std::string> object_path(const Value& value, std::string_view what);
// "ao" or "as".
std::optional<std::vector<std::string>> strings(const Value& value, std::string_view what);

// Looks a key up in an "a{sv}" dictionary; none when it is missing or the dictionary is not one.
Value lookup(const Value& dictionary, const char* key);

// The whole value in GLib's text notation, cut for a log line.
std::string describe(const Value& value);

}  // namespace dbus_values
