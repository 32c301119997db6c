#pragma once
// What travels over D-Bus, as our own types: Args are what a call sends, a Value is what came back
// or what a signal carried. A Value is read without trusting it: asking for another type than the
// one it has gives nothing, never a crash. Values are immutable; copies share the data.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace os::dbus {

struct ValueData;

class Value {
public:
    Value() = default;

    bool is_valid() const { return m_data != nullptr; }
    // D-Bus type text ("s", "a{sv}", "(oa{sv})"); empty when not valid.
    std::string type() const;
    bool is(std::string_view type) const;

    // The value inside the variant boxes a sender may have wrapped it in.
    Value unboxed() const;
    // The children of a container (array, tuple, dictionary entry, variant); 0 for other values.
    size_t size() const;
    Value child(size_t index) const;
    // Looks a key up in a dictionary keyed by strings or object paths ("a{sv}", "a{sa{sv}}"); none
    // when the key is missing, the value is no such dictionary, or the found value is not of
    // `type` (when given).
    Value lookup(std::string_view key, std::string_view type = {}) const;

    std::optional<int32_t> int32() const;
    std::optional<uint32_t> uint32() const;
    std::optional<bool> boolean() const;
    // A string, object path or signature, as its UTF-8 (GDBus has checked it).
    std::optional<std::string> string() const;

    // The whole value in GLib's text notation, for log lines and tests.
    std::string print() const;

    const std::shared_ptr<const ValueData>& data() const { return m_data; }
    explicit Value(std::shared_ptr<const ValueData> data) : m_data(std::move(data)) {}

private:
    std::shared_ptr<const ValueData> m_data;
};

// The parameters of a call, in order.
class Args {
public:
    Args& text(std::string value) {
        m_items.emplace_back(std::move(value));
        return *this;
    }
    Args& boolean(bool value) {
        m_items.emplace_back(value);
        return *this;
    }
    Args& uint32(uint32_t value) {
        m_items.emplace_back(value);
        return *this;
    }
    Args& int32(int32_t value) {
        m_items.emplace_back(value);
        return *this;
    }

    using Item = std::variant<std::string, bool, uint32_t, int32_t>;
    const std::vector<Item>& items() const { return m_items; }

private:
    std::vector<Item> m_items;
};

}  // namespace os::dbus
