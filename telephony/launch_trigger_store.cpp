#include "telephony/launch_trigger_store.h"

#include "os/registry.h"

namespace launch_trigger_store {
namespace {

constexpr std::u16string_view names_value = u"Names";

std::u16string entry_key(std::u16string_view name) { return std::u16string(root_key) + u"\\" + std::u16string(name); }

std::vector<std::u16string> read_names() {
    std::u16string joined;
    std::vector<std::u16string> names;
    if (!os::reg_read_string(root_key, names_value, joined)) return names;
    size_t start = 0;
    while (start <= joined.size()) {
        size_t end = joined.find(u'\n', start);
        if (end == std::u16string::npos) end = joined.size();
        if (end > start) names.push_back(joined.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

bool write_names(const std::vector<std::u16string>& names) {
    std::u16string joined;
    for (const auto& name : names) {
        if (!joined.empty()) joined += u'\n';
        joined += name;
    }
    return os::reg_write_string(root_key, names_value, joined);
}

bool storable(std::u16string_view name) {
    return !name.empty() && name.find_first_of(u"\n\\") == std::u16string_view::npos;
}

}  // namespace

bool store(const LaunchTrigger& entry, bool& existed) {
    existed = false;
    if (!storable(entry.name)) return false;
    std::vector<std::u16string> names = read_names();
    for (const auto& name : names) existed = existed || name == entry.name;
    const std::u16string key = entry_key(entry.name);
    // The entry's values go first and the index last: a reader never finds a name without values.
    bool ok = os::reg_write_string(key, u"Key", entry.key) && os::reg_write_string(key, u"Value", entry.value_name) &&
              os::reg_write_string(key, u"Command Line", entry.command_line) &&
              os::reg_write_dword(key, u"Flags", entry.flags) &&
              os::reg_write_dword(key, u"Comparison", static_cast<uint32_t>(entry.comparison)) &&
              os::reg_write_dword(key, u"Mask", entry.mask) && os::reg_write_dword(key, u"Target", entry.target);
    if (ok && !existed) {
        names.push_back(entry.name);
        ok = write_names(names);
    }
    return ok && os::reg_flush(root_key);
}

bool remove(std::u16string_view name) {
    std::vector<std::u16string> names = read_names();
    bool found = false;
    for (auto it = names.begin(); it != names.end();) {
        if (*it == name) {
            it = names.erase(it);
            found = true;
        } else {
            ++it;
        }
    }
    if (!found) return false;
    // The index goes first: a reader that still finds the name also still finds its values.
    if (!write_names(names)) return false;
    const std::u16string key = entry_key(name);
    for (std::u16string_view value : {u"Key", u"Value", u"Command Line", u"Flags", u"Comparison", u"Mask", u"Target"}) {
        os::reg_delete_value(key, value);
    }
    os::reg_flush(root_key);
    return true;
}

std::optional<LaunchTrigger> find(std::u16string_view name) {
    if (!storable(name)) return std::nullopt;
    const std::u16string key = entry_key(name);
    LaunchTrigger entry;
    entry.name = std::u16string(name);
    uint32_t comparison = 0;
    if (!os::reg_read_string(key, u"Key", entry.key) || !os::reg_read_string(key, u"Value", entry.value_name) ||
        !os::reg_read_string(key, u"Command Line", entry.command_line) ||
        !os::reg_read_dword(key, u"Flags", entry.flags) || !os::reg_read_dword(key, u"Comparison", comparison) ||
        !os::reg_read_dword(key, u"Mask", entry.mask) || !os::reg_read_dword(key, u"Target", entry.target)) {
        return std::nullopt;
    }
    if (comparison > static_cast<uint32_t>(LaunchTriggerComparison::less_or_equal)) return std::nullopt;
    entry.comparison = static_cast<LaunchTriggerComparison>(comparison);
    return entry;
}

std::vector<LaunchTrigger> all() {
    std::vector<LaunchTrigger> entries;
    for (const auto& name : read_names()) {
        if (auto entry = find(name)) entries.push_back(std::move(*entry));
    }
    return entries;
}

}  // namespace launch_trigger_store
