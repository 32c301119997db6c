#include "os/registry.h"

#include <cstring>
#include <optional>

#include "os/registry_database.h"

namespace os {
namespace {

using registry_database::Hive;

constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegDword = 4;

struct KeyPath {
    Hive hive;
    std::u16string_view subkey;
};

// The root's name, one separator, then the subkey. "HKEY_CURRENT_CONFIG" and every other
// beginning name no hive here, so the operation fails.
std::optional<KeyPath> parse(std::u16string_view path) {
    struct Root {
        std::u16string_view name;
        Hive hive;
    };
    static const Root roots[] = {
        {u"HKEY_CLASSES_ROOT", Hive::ClassesRoot},
        {u"HKEY_LOCAL_MACHINE", Hive::LocalMachine},
        {u"HKEY_USERS", Hive::Users},
        {u"HKEY_CURRENT_USER", Hive::CurrentUser},
    };
    registry_database::set_last_error({});
    for (const Root& root : roots) {
        if (path.substr(0, root.name.size()) != root.name) continue;
        std::u16string_view rest = path.substr(root.name.size());
        // "HKEY_USERSX" is not "HKEY_USERS" followed by a separator.
        if (!rest.empty() && rest.front() != u'\\') break;
        if (!rest.empty()) rest.remove_prefix(1);
        while (!rest.empty() && rest.back() == u'\\') rest.remove_suffix(1);
        return KeyPath{root.hive, rest};
    }
    registry_database::set_last_error(u"no registry root in " + std::u16string(path));
    return std::nullopt;
}

}  // namespace

bool reg_read_string(std::u16string_view key, std::u16string_view name, std::u16string& out) {
    const auto path = parse(key);
    if (!path) return false;
    registry_database::Value value;
    if (!registry_database::read(path->hive, path->subkey, name, value)) return false;
    // A value of at most one byte fits the first, one-byte query: it reads as an empty text
    // whatever its type.
    if (value.data.size() <= 1) {
        out.clear();
        return true;
    }
    if (value.type != kRegSz) return false;
    std::u16string text(value.data.size() / 2, u'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(static_cast<unsigned char>(value.data[2 * i]) |
                                        static_cast<unsigned char>(value.data[2 * i + 1]) << 8);
    }
    const size_t end = text.find(u'\0');
    if (end != std::u16string::npos) text.resize(end);
    out = std::move(text);
    return true;
}

bool reg_read_dword(std::u16string_view key, std::u16string_view name, uint32_t& out) {
    const auto path = parse(key);
    if (!path) return false;
    registry_database::Value value;
    if (!registry_database::read(path->hive, path->subkey, name, value)) return false;
    if (value.type != kRegDword || value.data.size() != 4) return false;
    const auto* bytes = reinterpret_cast<const unsigned char*>(value.data.data());
    out = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
          static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return true;
}

bool reg_read_bool(std::u16string_view key, std::u16string_view name, uint8_t& out) {
    uint32_t value = 0;
    if (!reg_read_dword(key, name, value)) return false;
    out = value != 0;
    return true;
}

bool reg_write_string(std::u16string_view key, std::u16string_view name, std::u16string_view text) {
    const auto path = parse(key);
    if (!path) return false;
    registry_database::Value value;
    value.type = kRegSz;
    // UTF-16LE with its terminator, (length + 1) × 2 bytes, as the platform stores REG_SZ.
    value.data.resize((text.size() + 1) * 2, '\0');
    for (size_t i = 0; i < text.size(); ++i) {
        value.data[2 * i] = static_cast<char>(text[i] & 0xFF);
        value.data[2 * i + 1] = static_cast<char>(text[i] >> 8);
    }
    return registry_database::write(path->hive, path->subkey, name, value);
}

bool reg_write_dword(std::u16string_view key, std::u16string_view name, uint32_t number) {
    const auto path = parse(key);
    if (!path) return false;
    registry_database::Value value;
    value.type = kRegDword;
    value.data = {static_cast<char>(number & 0xFF), static_cast<char>((number >> 8) & 0xFF),
                  static_cast<char>((number >> 16) & 0xFF), static_cast<char>(number >> 24)};
    return registry_database::write(path->hive, path->subkey, name, value);
}

bool reg_delete_value(std::u16string_view key, std::u16string_view name) {
    const auto path = parse(key);
    if (!path) return false;
    return registry_database::remove(path->hive, path->subkey, name);
}

bool reg_list_subkeys(std::u16string_view key, std::vector<std::u16string>& out) {
    out.clear();
    const auto path = parse(key);
    if (!path) return false;
    return registry_database::subkeys(path->hive, path->subkey, out);
}

bool reg_flush(std::u16string_view key) {
    if (!parse(key)) return false;
    return registry_database::flush();
}

std::u16string reg_database_path() { return registry_database::path(); }

std::u16string reg_last_error() { return registry_database::last_error(); }

bool reg_take_damage_notice() { return registry_database::take_damage_notice(); }

}  // namespace os
