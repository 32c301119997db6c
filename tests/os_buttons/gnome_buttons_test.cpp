#include "os/buttons/gnome_buttons.h"

#include <gio/gio.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "tests/os/temp_root.h"

namespace {

// The two schemas the media-keys settings are made of, as much of them as this program uses.
constexpr const char* kSchemas = R"(<?xml version="1.0" encoding="UTF-8"?>
<schemalist>
  <schema id="org.gnome.settings-daemon.plugins.media-keys" path="/org/gnome/settings-daemon/plugins/media-keys/">
    <key name="custom-keybindings" type="as"><default>[]</default></key>
    <key name="volume-step" type="i"><default>6</default></key>
  </schema>
  <schema id="org.gnome.settings-daemon.plugins.media-keys.custom-keybinding">
    <key name="name" type="s"><default>''</default></key>
    <key name="command" type="s"><default>''</default></key>
    <key name="binding" type="s"><default>''</default></key>
  </schema>
</schemalist>
)";

constexpr const char* kFolder = "/org/gnome/settings-daemon/plugins/media-keys/custom-keybindings/";

// Everything GLib reads or writes for settings lives in one temporary folder. Set before the
// first GLib call of the process, which caches these places.
class GnomeButtons : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        s_folder = std::make_unique<TempFolder>("quillon-gsettings");
        s_env = std::make_unique<ScopedEnv>();
        const std::string schemas = s_folder->path("schemas");
        ::mkdir(schemas.c_str(), 0700);
        write_bytes(schemas + "/org.gnome.settings-daemon.plugins.media-keys.gschema.xml", kSchemas);
        const std::string compile = "glib-compile-schemas '" + schemas + "'";
        s_compiled = std::system(compile.c_str()) == 0;
        s_env->set("GSETTINGS_SCHEMA_DIR", schemas);
        s_env->set("XDG_DATA_DIRS", s_folder->path("data"));
        s_env->set("XDG_DATA_HOME", s_folder->path("data"));
        s_env->set("XDG_CONFIG_HOME", s_folder->path("config"));
        s_env->set("GSETTINGS_BACKEND", "keyfile");
    }
    static void TearDownTestSuite() {
        s_env.reset();
        s_folder.reset();
    }
    void SetUp() override { ASSERT_TRUE(s_compiled); }

    static std::string keyfile() { return read_bytes(s_folder->path("config/glib-2.0/settings/keyfile")); }

    static GSettings* entry(const std::string& name) {
        GSettingsSchemaSource* source = g_settings_schema_source_get_default();
        GSettingsSchema* schema = g_settings_schema_source_lookup(
            source, "org.gnome.settings-daemon.plugins.media-keys.custom-keybinding", TRUE);
        GSettings* settings = g_settings_new_full(schema, nullptr, (std::string(kFolder) + name + "/").c_str());
        g_settings_schema_unref(schema);
        return settings;
    }

    static void add_entry(const std::string& name, const char* binding, const char* command, const char* title) {
        GSettings* list = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
        gchar** paths = g_settings_get_strv(list, "custom-keybindings");
        GStrvBuilder* builder = g_strv_builder_new();
        g_strv_builder_addv(builder, const_cast<const char**>(paths));
        g_strv_builder_add(builder, (std::string(kFolder) + name + "/").c_str());
        GStrv joined = g_strv_builder_end(builder);
        g_settings_set_strv(list, "custom-keybindings", joined);
        g_strfreev(joined);
        g_strv_builder_unref(builder);
        g_strfreev(paths);
        g_object_unref(list);
        GSettings* settings = entry(name);
        g_settings_set_string(settings, "binding", binding);
        g_settings_set_string(settings, "command", command);
        g_settings_set_string(settings, "name", title);
        g_object_unref(settings);
        g_settings_sync();
    }

    static std::string read(const std::string& name, const char* key) {
        GSettings* settings = entry(name);
        gchar* value = g_settings_get_string(settings, key);
        std::string text = value;
        g_free(value);
        g_object_unref(settings);
        return text;
    }

    // Tests of one process share the store: each starts from the schemas' defaults. Not in SetUp,
    // which would fix GLib's choice of store before a test can change it.
    static void start_empty() {
        for (const std::string& path : paths()) {
            GSettings* settings =
                entry(path.substr(std::string(kFolder).size(), path.size() - std::string(kFolder).size() - 1));
            for (const char* key : {"name", "command", "binding"}) g_settings_reset(settings, key);
            g_object_unref(settings);
        }
        GSettings* list = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
        g_settings_reset(list, "custom-keybindings");
        g_object_unref(list);
        g_settings_sync();
    }

    static std::vector<std::string> paths() {
        GSettings* list = g_settings_new("org.gnome.settings-daemon.plugins.media-keys");
        gchar** values = g_settings_get_strv(list, "custom-keybindings");
        std::vector<std::string> out;
        for (gchar** at = values; *at; ++at) out.emplace_back(*at);
        g_strfreev(values);
        g_object_unref(list);
        return out;
    }

    // Static, not on the heap: a death test's child ends with exit(), and takes the folder along.
    static std::unique_ptr<TempFolder> s_folder;
    static std::unique_ptr<ScopedEnv> s_env;
    static bool s_compiled;
};

std::unique_ptr<TempFolder> GnomeButtons::s_folder;
std::unique_ptr<ScopedEnv> GnomeButtons::s_env;
bool GnomeButtons::s_compiled = false;

}  // namespace

TEST(Accelerators, NameTheSameKeyWhateverTheSpelling) {
    EXPECT_TRUE(os::same_accelerator(u"<Control><Alt>r", u"<Alt><Ctrl>R"));
    EXPECT_TRUE(os::same_accelerator(u"<Primary><Mod1>r", u"<Control><Alt>r"));
    EXPECT_TRUE(os::same_accelerator(u"XF86AudioRecord", u"XF86AudioRecord"));
    EXPECT_FALSE(os::same_accelerator(u"<Control><Alt>r", u"<Control><Alt><Shift>r"));
    EXPECT_FALSE(os::same_accelerator(u"<Control><Alt>r", u"<Control>r"));
    EXPECT_FALSE(os::same_accelerator(u"", u""));
}

TEST_F(GnomeButtons, KeysAreAssignedThroughCustomKeybindingsAndRestored) {
    TempRoot root;
    start_empty();
    // The user's own binding on one of the candidate keys, spelt differently.
    add_entry("custom0", "<Alt><Ctrl>R", "gnome-terminal", "Terminal");

    std::unique_ptr<os::HardwareButtons> platform = os::make_hardware_buttons();
    ASSERT_EQ(platform->count_buttons(), 4u);
    std::vector<os::HardwareButton> buttons = platform->list_buttons();
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_EQ(buttons[0].name, u"Record key");
    EXPECT_EQ(buttons[0].location, u"XF86AudioRecord");
    EXPECT_EQ(buttons[0].command, u"");
    EXPECT_EQ(buttons[1].name, u"Ctrl+Alt+R");
    EXPECT_EQ(buttons[1].command, u"gnome-terminal");
    for (const os::HardwareButton& button : buttons) EXPECT_FALSE(button.assigned);

    // The Record key had no binding: one of ours is added.
    const std::string ours = os::to_utf8(os::quick_record_command());
    EXPECT_FALSE(os::gnome_key_assigned());
    os::choose_button(*platform, buttons, 0);
    EXPECT_TRUE(buttons[0].assigned);
    EXPECT_TRUE(os::gnome_key_assigned());
    ASSERT_EQ(paths().size(), 2u);
    const std::string added = paths()[1];
    EXPECT_EQ(added, std::string(kFolder) + "quillon-touch-0/");
    const std::string added_name = "quillon-touch-0";
    EXPECT_EQ(read(added_name, "binding"), "XF86AudioRecord");
    EXPECT_EQ(read(added_name, "command"), ours);
    EXPECT_EQ(read(added_name, "name"), "Quillon Touch: record");
    // Written where the desktop keeps it, in the test's folder.
    EXPECT_NE(keyfile().find("XF86AudioRecord"), std::string::npos);

    // Ctrl+Alt+R next: the user's binding runs the program, the Record key's binding goes.
    os::choose_button(*platform, buttons, 1);
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[1].assigned);
    EXPECT_EQ(paths(), std::vector<std::string>{std::string(kFolder) + "custom0/"});
    EXPECT_EQ(read("custom0", "command"), ours);
    EXPECT_EQ(read("custom0", "name"), "Quillon Touch: record");
    EXPECT_EQ(read("custom0", "binding"), "<Alt><Ctrl>R");
    buttons = platform->list_buttons();
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[1].assigned);
    EXPECT_EQ(buttons[1].reset_command, u"gnome-terminal");

    // Taking it back restores the terminal, under its own name.
    os::choose_button(*platform, buttons, 1);
    EXPECT_FALSE(buttons[1].assigned);
    EXPECT_EQ(buttons[1].command, u"gnome-terminal");
    EXPECT_EQ(read("custom0", "command"), "gnome-terminal");
    EXPECT_EQ(read("custom0", "name"), "Terminal");
    for (const os::HardwareButton& button : platform->list_buttons()) EXPECT_FALSE(button.assigned);
    EXPECT_FALSE(os::gnome_key_assigned());
    // The binding the program added left nothing behind.
    EXPECT_EQ(keyfile().find("XF86AudioRecord"), std::string::npos) << keyfile();
}

TEST_F(GnomeButtons, AKeyBoundToTheProgramByAnEarlierInstallShowsAsAssigned) {
    TempRoot root;
    start_empty();
    const std::string earlier = "'" + os::to_utf8(os::program_folder()) + "/quillon-touch' record";
    add_entry("custom7", "<Super><Alt>r", earlier.c_str(), "Recorder");
    std::unique_ptr<os::HardwareButtons> platform = os::make_hardware_buttons();
    std::vector<os::HardwareButton> buttons = platform->list_buttons();
    ASSERT_EQ(buttons.size(), 4u);
    EXPECT_FALSE(buttons[0].assigned);
    EXPECT_TRUE(buttons[2].assigned);

    // Nothing is known to restore, and the entry is the user's: it stays with no command.
    os::choose_button(*platform, buttons, 2);
    EXPECT_FALSE(buttons[2].assigned);
    EXPECT_EQ(read("custom7", "command"), "");
    EXPECT_EQ(read("custom7", "name"), "Recorder");
    EXPECT_EQ(paths().size(), 1u);
}

TEST(GnomeButtonsAbsent, WithoutTheSchemasOrASettingsStoreThereIsNoGnomeKind) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Each check runs in a fresh process, where GLib reads its environment for the first time.
    EXPECT_EXIT(
        {
            bool none = false;
            {
                TempRoot root;
                ::setenv("GSETTINGS_SCHEMA_DIR", root.path().c_str(), 1);
                ::setenv("XDG_DATA_DIRS", root.path().c_str(), 1);
                ::setenv("XDG_DATA_HOME", root.path().c_str(), 1);
                none = os::make_gnome_buttons() == nullptr && os::make_hardware_buttons()->count_buttons() == 0;
            }
            std::exit(none ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
}

TEST_F(GnomeButtons, SettingsKeptOnlyInMemoryOfferNoKeys) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            ::setenv("GSETTINGS_BACKEND", "memory", 1);
            std::exit(os::make_gnome_buttons() == nullptr ? 0 : 1);
        },
        ::testing::ExitedWithCode(0), "");
    // The same schemas with a lasting store are the GNOME kind.
    EXPECT_NE(os::make_gnome_buttons(), nullptr);
}

namespace {

struct UsersShortcut {
    std::string entry;
    // The key as the screen offers it, and as the user's entry spells it.
    std::u16string key;
    std::string binding;
    std::string command;
    std::string name;
};

// What the kept copy of a key holds in the registry; "<absent>" when nothing is kept.
std::u16string kept(std::u16string_view accelerator, std::u16string_view value) {
    std::u16string text = u"<absent>";
    os::reg_read_string(
        u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch\\HardwareKeys\\" + std::u16string(accelerator), value,
        text);
    return text;
}

}  // namespace

// Installed from the package, the program lies in a "bin" shared with the user's other programs:
// their shortcuts never show as ours, and whatever the user taps (saying yes to every question),
// each one either runs its own command or is ours with its command kept, and comes back whole
// when the key is taken back.
TEST_F(GnomeButtons, TheUsersShortcutsFromTheProgramsFolderSurviveEverySequenceOfTaps) {
    const std::string folder = os::to_utf8(os::program_folder());
    const std::vector<UsersShortcut> users = {
        {"custom0", u"<Control><Alt>n", "<Control><Alt>n", folder + "/flameshot gui", "Screenshot"},
        {"custom1", u"<Control><Alt>r", "<Alt><Ctrl>R", "'" + folder + "/gnome-terminal' --window", "Terminal"},
        // A shortcut the user keeps with no command yet.
        {"custom2", u"<Super><Alt>r", "<Super><Alt>r", "", "Later"},
    };
    const std::string ours = os::to_utf8(os::quick_record_command());
    constexpr size_t kKeys = 4;
    constexpr size_t kTaps = 4;
    size_t sequences = 1;
    for (size_t i = 0; i < kTaps; ++i) sequences *= kKeys;

    for (size_t sequence = 0; sequence < sequences; ++sequence) {
        TempRoot root;
        start_empty();
        for (const UsersShortcut& user : users) {
            add_entry(user.entry, user.binding.c_str(), user.command.c_str(), user.name.c_str());
        }
        std::unique_ptr<os::HardwareButtons> platform = os::make_hardware_buttons();
        std::vector<os::HardwareButton> buttons = platform->list_buttons();
        ASSERT_EQ(buttons.size(), kKeys);
        // Each row says what it runs now; the user's shortcuts are not ours.
        EXPECT_EQ(buttons[0].shortcut, u"");
        EXPECT_EQ(buttons[1].shortcut, u"Terminal");
        EXPECT_EQ(buttons[3].shortcut, u"Screenshot");
        for (const os::HardwareButton& button : buttons) EXPECT_FALSE(button.assigned);
        EXPECT_TRUE(buttons[1].runs_something_else());
        EXPECT_TRUE(buttons[3].runs_something_else());
        EXPECT_FALSE(buttons[0].runs_something_else());
        EXPECT_FALSE(buttons[2].runs_something_else());

        std::string taps;
        size_t code = sequence;
        for (size_t tap = 0; tap < kTaps; ++tap, code /= kKeys) {
            const size_t key = code % kKeys;
            taps += std::to_string(key);
            os::choose_button(*platform, buttons, key);
            // What the screen shows is what the settings hold.
            const std::vector<os::HardwareButton> listed = platform->list_buttons();
            size_t assigned = 0;
            for (size_t i = 0; i < kKeys; ++i) {
                EXPECT_EQ(listed[i].assigned, buttons[i].assigned) << taps << " key " << i;
                EXPECT_EQ(listed[i].command, buttons[i].command) << taps << " key " << i;
                assigned += listed[i].assigned ? 1 : 0;
                // The kept copy never holds the program's own command.
                EXPECT_FALSE(os::is_quick_record_command(kept(listed[i].location, u"ResetCmd"))) << taps;
            }
            EXPECT_LE(assigned, 1u) << taps;
            for (const UsersShortcut& user : users) {
                const std::string command = read(user.entry, "command");
                const std::string name = read(user.entry, "name");
                EXPECT_EQ(read(user.entry, "binding"), user.binding) << taps;
                if (command == user.command && name == user.name) continue;
                // Taken over: ours, with the user's command and name kept.
                EXPECT_EQ(command, ours) << taps << " " << user.entry;
                EXPECT_EQ(name, "Quillon Touch: record") << taps << " " << user.entry;
                EXPECT_EQ(os::to_utf8(kept(user.key, u"ResetCmd")), user.command) << taps << " " << user.entry;
                EXPECT_EQ(os::to_utf8(kept(user.key, u"ResetName")), user.name) << taps << " " << user.entry;
            }
        }
        // Taking back whatever is ours leaves the settings as the user had them.
        for (size_t i = 0; i < kKeys; ++i) {
            if (buttons[i].assigned) os::choose_button(*platform, buttons, i);
        }
        for (const UsersShortcut& user : users) {
            EXPECT_EQ(read(user.entry, "command"), user.command) << taps;
            EXPECT_EQ(read(user.entry, "name"), user.name) << taps;
        }
        EXPECT_EQ(paths().size(), users.size()) << taps;
        for (const os::HardwareButton& button : platform->list_buttons()) {
            EXPECT_FALSE(button.assigned) << taps;
            EXPECT_EQ(kept(button.location, u"ResetCmd"), u"<absent>") << taps;
        }
        if (HasFailure()) break;
    }
}

// A key whose entry bears our name is ours whatever program it names (an older install elsewhere),
// and taking it back gives the user's shortcut back.
TEST_F(GnomeButtons, AnEntryOfOursIsOursAndItsKeptShortcutComesBack) {
    TempRoot root;
    start_empty();
    add_entry("custom3", "<Control><Alt>n", "/opt/old/quillon-touch record", "Quillon Touch: record");
    ASSERT_TRUE(
        os::reg_write_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch\\HardwareKeys\\<Control><Alt>n",
                             u"ResetCmd", u"/usr/bin/flameshot gui"));
    ASSERT_TRUE(
        os::reg_write_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch\\HardwareKeys\\<Control><Alt>n",
                             u"ResetName", u"Screenshot"));
    std::unique_ptr<os::HardwareButtons> platform = os::make_hardware_buttons();
    std::vector<os::HardwareButton> buttons = platform->list_buttons();
    EXPECT_TRUE(buttons[3].assigned);
    EXPECT_FALSE(buttons[3].runs_something_else());
    // Another key: the program's command goes there, and Ctrl+Alt+N gets the screenshot back.
    os::choose_button(*platform, buttons, 0);
    EXPECT_TRUE(buttons[0].assigned);
    EXPECT_FALSE(buttons[3].assigned);
    EXPECT_EQ(read("custom3", "command"), "/usr/bin/flameshot gui");
    EXPECT_EQ(read("custom3", "name"), "Screenshot");
    EXPECT_EQ(buttons[3].shortcut, u"Screenshot");
    EXPECT_EQ(kept(u"<Control><Alt>n", u"ResetCmd"), u"<absent>");
}
