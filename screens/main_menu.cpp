#include "screens/main_menu.h"

#include "document/document_face.h"
#include "lang/language.h"
#include "lang/language_menu.h"
#include "os/execute.h"
#include "os/log.h"
#include "screens/about_dialog.h"
#include "screens/main_screen.h"
#include "screens/reload_overlay.h"
#include "screens/skin_lookups.h"
#include "skin/properties.h"

namespace {

MenuItem item(std::u16string_view command, bool checked = false) {
    MenuItem made;
    made.command = std::u16string(command);
    made.checked = checked;
    return made;
}

}  // namespace

MainMenu::MainMenu(ScreenContext& context, MainScreen& screen)
    : m_context(context),
      m_screen(screen),
      m_reload(std::make_unique<ReloadOverlay>(context.skin, context.language, context.stack)) {}

MainMenu::~MainMenu() = default;

std::u16string MainMenu::about_text() {
    // Names only: the same in every language.
    return std::u16string(u"Quillon Touch ") + QUILLON_VERSION_TEXT;
}

AboutDialog& MainMenu::about_dialog() {
    if (!m_about) m_about = std::make_unique<AboutDialog>(m_context);
    return *m_about;
}

void MainMenu::show_about() {
    if (AboutDialog::is_in_skin(m_context.skin)) {
        about_dialog().open();
        return;
    }
    m_screen.error_dialog().show_error(about_text() + u"\n\n" + AboutDialog::body_text(m_context.skin));
}

std::u16string MainMenu::help_path() const { return u"%app_path%/help/" + m_context.skin.translate(u"Help_link"); }

void MainMenu::fill(std::u16string_view command, std::vector<MenuItem>& items) {
    DocumentFace& document = m_context.document;
    const Settings& settings = document.settings();
    if (command == u"MainMenu") {
        MenuItem buttons = item(Menu::four_buttons_command);
        buttons.node = skin_id::menu_element4_buttons;
        items.push_back(std::move(buttons));
        items.push_back(item(u"File"));
        items.push_back(item(u"Settings"));
        items.push_back(item(u"Cancel"));
    } else if (command == u"File") {
        fill_file(items);
    } else if (command == u"DeleteFiles") {
        m_screen.ask_delete_visible();
    } else if (command == u"Refresh") {
        document.rescan();
    } else if (command == u"Move") {
        m_screen.move_visible();
    } else if (command == u"Settings") {
        fill_settings(items);
    } else if (command == u"AutoRecord") {
        if (!document.set_auto_record(settings.auto_record == 0)) {
            os::log() << u"main menu: the launch entry did not follow AutoRecord\n";
        }
        save_settings();
        fill(u"Settings", items);
    } else if (command == u"Speaker") {
        document.set_speaker_choice(settings.speaker == 0);
        save_settings();
        fill(u"Settings", items);
    } else if (command == u"Format") {
        fill_choices({u"Mp3Low", u"Mp3Middle", u"Mp3High"}, settings.format, items);
    } else if (command == u"Mp3Low" || command == u"Mp3Middle" || command == u"Mp3High") {
        document.set_format(command);
        save_settings();
        fill(u"Settings", items);
    } else if (command == u"Boost") {
        fill_choices({u"BoostOff", u"Boost1", u"Boost2", u"Boost3"}, settings.boost, items);
    } else if (command == u"BoostOff" || command == u"Boost1" || command == u"Boost2" || command == u"Boost3") {
        document.set_boost(command);
        save_settings();
        fill(u"Settings", items);
    } else if (command == u"QuickRecord") {
        if (m_screen.hooks().open_quick_record) m_screen.hooks().open_quick_record();
    } else if (fill_language(command, items)) {
        // Handled there.
    } else if (command == skin_id::minimize) {
        m_context.host.minimise();
    } else if (command == skin_id::help) {
        open_help();
    } else if (command == skin_id::about) {
        show_about();
    } else if (command == skin_id::exit) {
        document.stop();
        m_context.host.quit();
    }
    // "Cancel" and anything unknown give no items: the menu closes.
}

std::u16string_view MainMenu::heading_of(std::u16string_view command) const {
    // A setting chosen, and the submenus' cancel (whose row reads "Cancel"), show the Settings again.
    for (std::u16string_view shows_settings : {u"Settings", u"AutoRecord", u"Speaker", u"Mp3Low", u"Mp3Middle",
                                               u"Mp3High", u"BoostOff", u"Boost1", u"Boost2", u"Boost3"}) {
        if (command == shows_settings) return u"Settings";
    }
    return {};
}

void MainMenu::open_help() {
    auto fail = [this] {
        os::log() << u"main menu: no program opens " << help_path() << u"\n";
        m_screen.show_error_text(u"Sorry_cannot_open_help");
    };
    std::shared_ptr<const os::ChildExit> browser = os::start_file(help_path(), u"");
    if (!browser) {
        fail();
        return;
    }
    // xdg-open ends with a failure when no browser takes the page.
    m_help_watch.watch(std::move(browser), fail);
}

void MainMenu::fill_file(std::vector<MenuItem>& items) {
    if (!m_screen.visible().empty()) items.push_back(item(u"DeleteFiles"));
    if (m_screen.can_move_visible()) items.push_back(item(u"Move"));
    items.push_back(item(u"Refresh"));
    items.push_back(item(u"Cancel"));
}

void MainMenu::fill_settings(std::vector<MenuItem>& items) {
    const Settings& settings = m_context.document.settings();
    items.push_back(item(u"AutoRecord", settings.auto_record != 0));
    items.push_back(item(u"Speaker", settings.speaker != 0));
    MenuItem format = item(u"Format");
    format.text = m_context.skin.translate(settings.format);
    items.push_back(std::move(format));
    items.push_back(item(u"Boost", settings.boost != u"BoostOff"));
    const auto& has_buttons = m_screen.hooks().has_hardware_buttons;
    if (has_buttons && has_buttons()) items.push_back(item(u"QuickRecord"));
    if (m_context.language.has_choice()) items.push_back(item(lang::kLanguageCommand));
    items.push_back(item(u"Cancel"));
}

void MainMenu::fill_choices(std::initializer_list<std::u16string_view> commands, std::u16string_view current,
                            std::vector<MenuItem>& items) {
    // The current choice always carries the mark, "No boost" too: the user sees what is set.
    for (std::u16string_view command : commands) items.push_back(item(command, command == current));
    MenuItem cancel = item(u"Settings");
    cancel.text = m_context.skin.translate(u"Cancel");
    items.push_back(std::move(cancel));
}

void MainMenu::save_settings() {
    if (m_context.document.save_settings()) return;
    os::log() << u"main menu: the settings were not saved\n";
    // A choice that did not stick must not look as if it did.
    m_screen.show_error_text(u"Sorry_settings_not_saved");
}

bool MainMenu::fill_language(std::u16string_view command, std::vector<MenuItem>& items) {
    std::vector<lang::LanguageMenuItem> languages;
    switch (lang::fill_language_menu(m_context.language, command, languages)) {
        case lang::LanguageCommand::NotMine:
            return false;
        case lang::LanguageCommand::Listed:
            for (lang::LanguageMenuItem& language : languages) {
                MenuItem row = item(language.command, language.checked);
                row.text = std::move(language.text);
                row.node = std::move(language.node);
                items.push_back(std::move(row));
            }
            return true;
        case lang::LanguageCommand::Kept:
            return true;
        case lang::LanguageCommand::Changed:
            m_reload->show();
            return true;
    }
    return true;
}
