#include "lang/language.h"

#include <gtest/gtest.h>

#include "lang/language_menu.h"
#include "lang/text_variables.h"
#include "os/registry.h"
#include "os/text.h"
#include "skin/language_binding.h"
#include "tests/lang/lang_test_support.h"
#include "tests/os/temp_root.h"

using lang_test::ScopedEnv;
using lang_test::TempFolder;
using lang_test::write_utf16;

namespace {

// A folder of language files whose "Cancel" text names the file.
struct LanguageFolder {
    explicit LanguageFolder(std::initializer_list<const char*> names) {
        for (const char* name : names) add(name);
    }
    void add(const std::string& name) {
        write_utf16(folder.path(name + ".lng"), u"Cancel=" + os::from_utf8(name) + u"\r\n");
    }
    std::u16string loaded(const Language& language) const { return language.translate(u"Cancel"); }
    TempFolder folder;
};

std::u16string setting() {
    std::u16string value;
    return os::reg_read_string(lang::kSettingsKey, lang::kLanguageValue, value) ? value : u"<none>";
}

class CountingListener : public LanguageListener {
public:
    void on_language_changed(const Language& language) override {
        ++calls;
        seen = language.translate(u"Cancel");
    }
    int calls = 0;
    std::u16string seen;
};

}  // namespace

TEST(Language, LoadAndTranslate) {
    TempFolder folder;
    Language language(folder.text());
    EXPECT_EQ(language.translate(u"Cancel"), u"Cancel");  // nothing loaded: every text shows its key
    EXPECT_EQ(language.path(), u"");

    write_utf16(folder.path("one.lng"), u"Cancel=Abbrechen\r\nskin_ProgramName=Q\r\n");
    ASSERT_TRUE(language.load(folder.text() + u"/one.lng"));
    EXPECT_EQ(language.translate(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(language.translate(u"cancel"), u"cancel");  // exact, case-sensitive keys
    EXPECT_EQ(language.translate(u"skin_ProgramName", u"Quillon Touch"), u"Q");
    EXPECT_EQ(language.translate(u"NoSuchKey", u"Quillon Touch"), u"Quillon Touch");
    EXPECT_EQ(language.name(), u"one");

    // A file that cannot be read keeps the table and the path; an empty file empties the table.
    EXPECT_FALSE(language.load(folder.text() + u"/missing.lng"));
    EXPECT_EQ(language.translate(u"Cancel"), u"Abbrechen");
    EXPECT_EQ(language.name(), u"one");
    lang_test::write_bytes(folder.path("empty.lng"), "");
    ASSERT_TRUE(language.load(folder.text() + u"/empty.lng"));
    EXPECT_TRUE(language.table().empty());
    EXPECT_EQ(language.name(), u"empty");
}

TEST(Language, StartupChoiceFallsThroughInOrder) {
    TempRoot root;
    LanguageFolder files({"english", "german", "russian"});
    Language language(files.folder.text());

    // 1. The setting wins when its file exists.
    ASSERT_TRUE(language.load_startup_language(u"german", u"RUSSIAN"));
    EXPECT_EQ(files.loaded(language), u"german");
    // 2. A setting naming a deleted file falls to the system language, found whatever its case.
    ASSERT_TRUE(language.load_startup_language(u"klingon", u"RUSSIAN"));
    EXPECT_EQ(files.loaded(language), u"russian");
    // 3. Then "english".
    ASSERT_TRUE(language.load_startup_language(u"klingon", u"FRENCH"));
    EXPECT_EQ(files.loaded(language), u"english");
    ASSERT_TRUE(language.load_startup_language(u"", u""));
    EXPECT_EQ(files.loaded(language), u"english");
    // A setting cannot lead out of the folder.
    TempFolder other;
    write_utf16(other.path("outside.lng"), u"Cancel=outside\n");
    const std::u16string escape =
        u"../" + os::from_utf8(std::filesystem::path(other.path()).filename().string()) + u"/outside";
    ASSERT_TRUE(language.load_startup_language(escape, u""));
    EXPECT_EQ(files.loaded(language), u"english");

    // 4. Any file, in name order; an unreadable one is skipped.
    std::filesystem::remove(files.folder.path("english.lng"));
    lang_test::write_bytes(files.folder.path("aaa.lng"), std::string("\xFE\xFF", 2));  // refused
    ASSERT_TRUE(language.load_startup_language(u"", u"FRENCH"));
    EXPECT_EQ(files.loaded(language), u"german");

    // The start-up choice reads the setting but never writes it.
    EXPECT_EQ(setting(), u"<none>");
    ASSERT_TRUE(os::reg_write_string(lang::kSettingsKey, lang::kLanguageValue, u"russian"));
    ASSERT_TRUE(language.load_startup_language());
    EXPECT_EQ(files.loaded(language), u"russian");
    EXPECT_EQ(setting(), u"russian");

    // No file at all: the table stays empty and the caller shows the two-line message.
    TempFolder empty;
    Language none(empty.text());
    EXPECT_FALSE(none.load_startup_language(u"english", u"ENGLISH"));
    EXPECT_TRUE(none.table().empty());
    EXPECT_EQ(lang::no_language_message(),
              u"No languages, please reinstall\nНе найдены языковые файлы, нужна переустановка\n");
    // Headless, the message goes to standard error in UTF-8.
    testing::internal::CaptureStderr();
    lang::report_no_language();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "No languages, please reinstall\nНе найдены языковые файлы, нужна переустановка\n");
}

TEST(Language, StartupChoiceTakesTheSystemLanguageFromTheLocale) {
    TempRoot root;
    LanguageFolder files({"english", "german", "russian"});
    Language language(files.folder.text());
    ScopedEnv messages("LC_MESSAGES", nullptr);
    {
        ScopedEnv all("LC_ALL", nullptr);
        ScopedEnv lang("LANG", "ru_RU.UTF-8");
        ASSERT_TRUE(language.load_startup_language());
        EXPECT_EQ(files.loaded(language), u"russian");
    }
    {
        ScopedEnv all("LC_ALL", "de_AT.UTF-8");  // LC_ALL comes before LANG
        ScopedEnv lang("LANG", "ru_RU.UTF-8");
        ASSERT_TRUE(language.load_startup_language());
        EXPECT_EQ(files.loaded(language), u"german");
    }
    {
        ScopedEnv all("LC_ALL", "C.UTF-8");
        ASSERT_TRUE(language.load_startup_language());
        EXPECT_EQ(files.loaded(language), u"english");
    }
}

TEST(Language, ChoosingWritesTheSettingAndTellsListeners) {
    TempRoot root;
    LanguageFolder files({"english", "german"});
    Language language(files.folder.text());
    CountingListener listener;
    language.add_listener(&listener);
    ASSERT_TRUE(language.load_startup_language(u"", u""));
    EXPECT_EQ(listener.calls, 1);
    EXPECT_EQ(listener.seen, u"english");

    // The loaded language again: nothing changes, nothing is written, nobody is told.
    EXPECT_FALSE(language.choose(u"english"));
    EXPECT_EQ(setting(), u"<none>");
    EXPECT_EQ(listener.calls, 1);
    // A file that is gone, or a name that is not a plain file name, changes nothing either.
    EXPECT_FALSE(language.choose(u"french"));
    EXPECT_FALSE(language.choose(u"../english"));
    EXPECT_FALSE(language.choose(u""));
    EXPECT_EQ(setting(), u"<none>");

    ASSERT_TRUE(language.choose(u"german"));
    EXPECT_EQ(setting(), u"german");
    EXPECT_EQ(listener.calls, 2);
    EXPECT_EQ(listener.seen, u"german");

    // A listener that leaves is not told again.
    language.remove_listener(&listener);
    ASSERT_TRUE(language.choose(u"english"));
    EXPECT_EQ(listener.calls, 2);
    EXPECT_EQ(setting(), u"english");
}

TEST(Language, MenuListsFilesAndChoosesOne) {
    TempRoot root;
    LanguageFolder files({"russian", "English", "german"});
    Language language(files.folder.text());
    EXPECT_TRUE(language.has_choice());
    ASSERT_TRUE(language.load(files.folder.text() + u"/English.lng"));

    std::vector<lang::LanguageMenuItem> items;
    EXPECT_EQ(lang::fill_language_menu(language, u"Settings", items), lang::LanguageCommand::NotMine);
    EXPECT_TRUE(items.empty());
    ASSERT_EQ(lang::fill_language_menu(language, u"Language", items), lang::LanguageCommand::Listed);
    ASSERT_EQ(items.size(), 4u);
    // Ascending code units: capitals first.
    EXPECT_EQ(items[0].command, u"Language#English");
    EXPECT_EQ(items[0].text, u"English");
    EXPECT_TRUE(items[0].checked);
    EXPECT_EQ(items[1].command, u"Language#german");
    EXPECT_FALSE(items[1].checked);
    EXPECT_EQ(items[2].command, u"Language#russian");
    EXPECT_EQ(items[3].command, u"Cancel");
    EXPECT_EQ(items[3].node, u"MenuElement");

    items.clear();
    EXPECT_EQ(lang::fill_language_menu(language, u"Language#English", items), lang::LanguageCommand::Kept);
    EXPECT_EQ(lang::fill_language_menu(language, u"Language#russian", items), lang::LanguageCommand::Changed);
    EXPECT_TRUE(items.empty());
    EXPECT_EQ(language.translate(u"Cancel"), u"russian");
    EXPECT_EQ(setting(), u"russian");

    // With one file there is nothing to choose.
    TempFolder single;
    write_utf16(single.path("english.lng"), u"Cancel=Cancel\n");
    lang_test::write_bytes(single.path("notes.txt"), "");
    EXPECT_FALSE(Language(single.text()).has_choice());
}

TEST(Language, MenuNamesEachLanguageInItself) {
    TempRoot root;
    TempFolder folder;
    write_utf16(folder.path("english.lng"), u"Cancel=Cancel\nLanguage_name=English\n");
    write_utf16(folder.path("german.lng"), u"Cancel=Abbrechen\nLanguage_name=Deutsch\n");
    write_utf16(folder.path("russian.lng"), u"Cancel=Отмена\nLanguage_name=Русский\n");
    // A file that does not name its language shows its file name; an empty name counts as none.
    write_utf16(folder.path("klingon.lng"), u"Cancel=Qagh\nLanguage_name=\n");
    Language language(folder.text());
    ASSERT_TRUE(language.load(folder.text() + u"/german.lng"));
    std::vector<lang::LanguageMenuItem> items;
    ASSERT_EQ(lang::fill_language_menu(language, u"Language", items), lang::LanguageCommand::Listed);
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].text, u"English");
    EXPECT_EQ(items[1].text, u"Deutsch");
    EXPECT_TRUE(items[1].checked);
    EXPECT_EQ(items[1].command, u"Language#german");
    EXPECT_EQ(items[2].text, u"klingon");
    EXPECT_EQ(items[3].text, u"Русский");
    EXPECT_FALSE(items[3].checked);
    EXPECT_EQ(items[3].command, u"Language#russian");
}

TEST(Language, TheShippedFilesNameTheirLanguages) {
    Language language(os::from_utf8(QUILLON_BIN_DIR));
    std::vector<std::u16string> names;
    for (const lang::LanguageMenuItem& item : lang::language_menu(language)) names.push_back(item.text);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"English", u"Deutsch", u"Русский", u""}));
}

TEST(Language, SwitchReloadsEveryScreensTexts) {
    TempRoot root;
    LanguageFolder files({"english", "german"});
    write_utf16(files.folder.path("german.lng"), u"Record=Aufnahme\r\n");
    write_utf16(files.folder.path("english.lng"), u"Record=Record\r\n");
    Language language(files.folder.text());
    ASSERT_TRUE(language.load(files.folder.text() + u"/english.lng"));

    // Two screens that look their texts up whenever the skin is reloaded.
    struct Screen : ReloadListener {
        void on_reload_skin(Properties& properties) override { text = properties.translate(u"Record"); }
        std::u16string text;
    };
    Properties properties;
    Screen main_screen, recording_screen;
    properties.add_reload_listener(&main_screen);
    properties.add_reload_listener(&recording_screen);
    LanguageBinding binding(language, properties);
    EXPECT_EQ(properties.translate(u"Record"), u"Record");  // the binding starts from the loaded table

    ASSERT_TRUE(language.choose(u"german"));
    EXPECT_EQ(main_screen.text, u"Aufnahme");
    EXPECT_EQ(recording_screen.text, u"Aufnahme");

    // Deferred: the table follows at once, the screens when the owner sends the reload.
    Properties deferred_properties;
    Screen deferred_screen;
    deferred_properties.add_reload_listener(&deferred_screen);
    LanguageBinding deferred(language, deferred_properties, false);
    ASSERT_TRUE(language.choose(u"english"));
    EXPECT_EQ(deferred_properties.translate(u"Record"), u"Record");
    EXPECT_EQ(deferred_screen.text, u"");
    deferred_properties.send_reload_skin();
    EXPECT_EQ(deferred_screen.text, u"Record");
    EXPECT_EQ(main_screen.text, u"Record");
}

TEST(TextVariables, EveryOccurrenceReplaced) {
    EXPECT_EQ(lang::set_count(u"Delete %count% of %count%?", 12), u"Delete 12 of 12?");
    EXPECT_EQ(lang::set_count(u"No variable", 3), u"No variable");
    EXPECT_EQ(lang::set_count(u"%count%", -1), u"-1");
    // A value that holds the variable is not expanded again.
    EXPECT_EQ(lang::set_text_variable(u"%name% and %name%", u"%name%", u"%name%!"), u"%name%! and %name%!");
}
