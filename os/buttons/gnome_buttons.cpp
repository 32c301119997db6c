#include "os/buttons/gnome_buttons.h"

#define G_SETTINGS_ENABLE_BACKEND
#include <gio/gio.h>
#include <gio/gsettingsbackend.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"

namespace os {
namespace {

constexpr const char* kMediaKeys = "org.gnome.settings-daemon.plugins.media-keys";
constexpr const char* kCustomKeybinding = "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding";
constexpr const char* kCustomList = "custom-keybindings";
constexpr std::string_view kCustomFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";
// Entries this program made carry this name in their path, so taking a key back can remove them.
constexpr std::string_view kOwnEntry = "quillon-touch-";
constexpr std::u16string_view kResetRoot = u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch\\HardwareKeys";
constexpr std::u16string_view kEntryName = u"Quillon Touch: record";

struct Candidate {
    std::u16string_view accelerator;
    std::u16string_view name;
    std::u16string_view icon;
};

// The keyboard's Record key, and combinations that GNOME and Phosh leave free by default.
constexpr Candidate kCandidates[] = {
    {u"XF86AudioRecord", u"Record key", u"media-record"},
    {u"<Control><Alt>r", u"Ctrl+Alt+R", u"input-keyboard"},
    {u"<Super><Alt>r", u"Super+Alt+R", u"input-keyboard"},
    {u"<Control><Alt>n", u"Ctrl+Alt+N", u"input-keyboard"},
};

template <typename T>
struct Unref {
    void operator()(T* object) const { g_object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, Unref<GSettings>>;

struct SchemaUnref {
    void operator()(GSettingsSchema* schema) const { g_settings_schema_unref(schema); }
};
using Schema = std::unique_ptr<GSettingsSchema, SchemaUnref>;

Schema lookup_schema(const char* id) {
    GSettingsSchemaSource* source = g_settings_schema_source_get_default();
    return Schema(source ? g_settings_schema_source_lookup(source, id, TRUE) : nullptr);
}

bool has_keys(GSettingsSchema* schema, std::initializer_list<const char*> keys) {
    return std::all_of(keys.begin(), keys.end(),
                       [schema](const char* key) { return g_settings_schema_has_key(schema, key); });
}

// GSettings ends the process on a malformed path; paths read from the settings are checked first.
bool is_settings_path(std::string_view path) {
    return path.size() >= 2 && path.front() == '/' && path.back() == '/' && path.find("//") == std::string_view::npos;
}

std::u16string read_string(GSettings* settings, const char* key) {
    gchar* value = g_settings_get_string(settings, key);
    std::u16string text = from_utf8(value ? value : "");
    g_free(value);
    return text;
}

std::vector<std::string> read_list(GSettings* settings) {
    gchar** values = g_settings_get_strv(settings, kCustomList);
    std::vector<std::string> list;
    for (gchar** at = values; at && *at; ++at) list.emplace_back(*at);
    g_strfreev(values);
    return list;
}

void write_list(GSettings* settings, const std::vector<std::string>& list) {
    std::vector<const gchar*> values;
    for (const std::string& path : list) values.push_back(path.c_str());
    values.push_back(nullptr);
    g_settings_set_strv(settings, kCustomList, values.data());
}

std::u16string reset_key(std::u16string_view accelerator) {
    return std::u16string(kResetRoot) + u"\\" + std::u16string(accelerator);
}

// The modifiers of an accelerator as a sorted set of canonical names, and its key.
std::pair<std::vector<std::u16string>, std::u16string> parse_accelerator(std::u16string_view text) {
    auto lower = [](std::u16string word) {
        for (char16_t& c : word) {
            if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
        }
        return word;
    };
    std::vector<std::u16string> modifiers;
    while (!text.empty() && text.front() == u'<') {
        const size_t end = text.find(u'>');
        if (end == std::u16string_view::npos) break;
        std::u16string modifier = lower(std::u16string(text.substr(1, end - 1)));
        if (modifier == u"ctrl" || modifier == u"ctl" || modifier == u"primary") modifier = u"control";
        if (modifier == u"mod1") modifier = u"alt";
        if (modifier == u"mod4") modifier = u"super";
        modifiers.push_back(std::move(modifier));
        text.remove_prefix(end + 1);
    }
    std::sort(modifiers.begin(), modifiers.end());
    modifiers.erase(std::unique(modifiers.begin(), modifiers.end()), modifiers.end());
    return {modifiers, lower(std::u16string(text))};
}

class GnomeButtons final : public HardwareButtons {
public:
    GnomeButtons(Schema media_keys, Schema custom) : m_media_keys(std::move(media_keys)), m_custom(std::move(custom)) {}

    size_t count_buttons() override { return std::size(kCandidates); }

    std::vector<HardwareButton> list_buttons() override {
        std::vector<HardwareButton> buttons;
        for (const Candidate& candidate : kCandidates) {
            HardwareButton button;
            button.location = std::u16string(candidate.accelerator);
            button.name = std::u16string(candidate.name);
            button.icon = std::u16string(candidate.icon);
            reg_read_string(reset_key(candidate.accelerator), u"ResetCmd", button.reset_command);
            read_state(button);
            buttons.push_back(std::move(button));
        }
        return buttons;
    }

    void assign(HardwareButton& button, std::u16string_view command) override {
        log() << u"assign:" << command << u"\n";
        const std::u16string key = reset_key(button.location);
        Settings entry = entry_for(button.location);
        if (!button.assigned) {
            // What the key runs now is kept before anything is changed, and only when it is not
            // ours: the kept copy may be the only one of the user's command.
            if (entry) {
                const std::u16string old_command = read_string(entry.get(), "command");
                const std::u16string old_name = read_string(entry.get(), "name");
                if (!is_ours(old_command, old_name)) {
                    reg_write_string(key, u"ResetCmd", old_command);
                    reg_write_string(key, u"ResetName", old_name);
                }
            } else {
                // A free key: whatever an earlier assignment kept belongs to a shortcut that is gone.
                reg_delete_value(key, u"ResetCmd");
                reg_delete_value(key, u"ResetName");
            }
            reg_flush(u"HKEY_CURRENT_USER");
        }
        if (!entry) entry = new_entry(button.location);
        if (entry) {
            g_settings_set_string(entry.get(), "name", to_utf8(kEntryName).c_str());
            g_settings_set_string(entry.get(), "command", to_utf8(command).c_str());
            g_settings_sync();
        }
        button.reset_command.clear();
        reg_read_string(key, u"ResetCmd", button.reset_command);
        read_state(button);
    }

    void unassign(HardwareButton& button) override {
        const std::u16string key = reset_key(button.location);
        std::u16string restored;
        std::u16string old_name;
        reg_read_string(key, u"ResetCmd", restored);
        const bool name_kept = reg_read_string(key, u"ResetName", old_name);
        // A kept command that starts this program would leave the key ours however often it is
        // taken back: the key is left with no command instead.
        if (is_quick_record_command(restored)) restored.clear();
        std::string path;
        if (Settings entry = entry_for(button.location, &path)) {
            if (restored.empty() && path.find(kOwnEntry) != std::string::npos) {
                // An entry this program made for the key and that has nothing to restore goes.
                remove_entry(entry.get(), path);
            } else {
                // The entry gets back the name it had when the program took it over, even an empty one.
                // A name of ours without one kept (written by an older version) would still call
                // the entry ours.
                if (name_kept || read_string(entry.get(), "name") == kEntryName) {
                    g_settings_set_string(entry.get(), "name", to_utf8(old_name).c_str());
                }
                g_settings_set_string(entry.get(), "command", to_utf8(restored).c_str());
            }
            g_settings_sync();
        }
        // Given back: nothing is kept any more, so no later change can mistake a stale copy for
        // the key's command.
        reg_delete_value(key, u"ResetCmd");
        reg_delete_value(key, u"ResetName");
        reg_flush(u"HKEY_CURRENT_USER");
        button.reset_command.clear();
        read_state(button);
    }

private:
    Settings media_keys() const { return Settings(g_settings_new_full(m_media_keys.get(), nullptr, nullptr)); }

    Settings entry_at(const std::string& path) const {
        return Settings(g_settings_new_full(m_custom.get(), nullptr, path.c_str()));
    }

    // The first custom keybinding on the accelerator's key.
    Settings entry_for(std::u16string_view accelerator, std::string* found_path = nullptr) const {
        Settings list_settings = media_keys();
        for (const std::string& path : read_list(list_settings.get())) {
            if (!is_settings_path(path)) continue;
            Settings entry = entry_at(path);
            if (same_accelerator(read_string(entry.get(), "binding"), accelerator)) {
                if (found_path) *found_path = path;
                return entry;
            }
        }
        return nullptr;
    }

    // A key is ours when its command runs this program to record, or its entry bears our name
    // (one this program made or took over); never because its program lies in our folder.
    static bool is_ours(std::u16string_view command, std::u16string_view name) {
        return is_quick_record_command(command) || name == kEntryName;
    }

    // The command, shortcut and ownership of a key as the settings hold them now.
    void read_state(HardwareButton& button) const {
        button.command.clear();
        button.shortcut.clear();
        std::u16string entry_name;
        if (Settings entry = entry_for(button.location)) {
            button.command = read_string(entry.get(), "command");
            entry_name = read_string(entry.get(), "name");
        }
        button.assigned = is_ours(button.command, entry_name);
        button.shortcut = entry_name.empty() ? button.command : entry_name;
    }

    Settings new_entry(std::u16string_view accelerator) {
        Settings list_settings = media_keys();
        std::vector<std::string> list = read_list(list_settings.get());
        std::string path;
        for (int n = 0;; ++n) {
            path = std::string(kCustomFolder) + std::string(kOwnEntry) + std::to_string(n) + "/";
            if (std::find(list.begin(), list.end(), path) == list.end()) break;
        }
        Settings entry = entry_at(path);
        g_settings_set_string(entry.get(), "binding", to_utf8(accelerator).c_str());
        list.push_back(path);
        write_list(list_settings.get(), list);
        return entry;
    }

    void remove_entry(GSettings* entry, const std::string& path) {
        Settings list_settings = media_keys();
        std::vector<std::string> list = read_list(list_settings.get());
        list.erase(std::remove(list.begin(), list.end(), path), list.end());
        write_list(list_settings.get(), list);
        for (const char* key : {"name", "command", "binding"}) g_settings_reset(entry, key);
    }

    Schema m_media_keys;
    Schema m_custom;
};

}  // namespace

bool same_accelerator(std::u16string_view a, std::u16string_view b) {
    const auto first = parse_accelerator(a);
    return !first.second.empty() && first == parse_accelerator(b);
}

bool gnome_key_assigned() {
    std::unique_ptr<HardwareButtons> gnome = make_gnome_buttons();
    if (!gnome) return false;
    for (const HardwareButton& button : gnome->list_buttons()) {
        if (button.assigned) return true;
    }
    return false;
}

std::unique_ptr<HardwareButtons> make_gnome_buttons() {
    Schema media_keys = lookup_schema(kMediaKeys);
    Schema custom = lookup_schema(kCustomKeybinding);
    if (!media_keys || !custom || !has_keys(media_keys.get(), {kCustomList}) ||
        !has_keys(custom.get(), {"name", "command", "binding"})) {
        return nullptr;
    }
    // With no settings store GLib keeps settings in memory: a key assigned there would be lost at
    // exit, and no desktop would ever see it.
    GSettingsBackend* backend = g_settings_backend_get_default();
    const bool in_memory = backend && std::strcmp(G_OBJECT_TYPE_NAME(backend), "GMemorySettingsBackend") == 0;
    if (backend) g_object_unref(backend);
    if (in_memory) return nullptr;
    return std::make_unique<GnomeButtons>(std::move(media_keys), std::move(custom));
}

}  // namespace os
