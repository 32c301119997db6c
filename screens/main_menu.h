#pragma once
// The main screen's menu: the four-button row (About, Help, Minimize, Exit), the File commands
// that act on the records the main list shows, and the Settings with their submenus. Commands
// that change a setting save it and show "Settings" again, so its rows stay in place and only the
// check marks change.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "screens/child_watch.h"
#include "screens/menu.h"
#include "screens/screen_context.h"

class AboutDialog;
class MainScreen;
class ReloadOverlay;

class MainMenu final : public MenuProvider {
public:
    MainMenu(ScreenContext& context, MainScreen& screen);
    ~MainMenu() override;

    void fill(std::u16string_view command, std::vector<MenuItem>& items) override;
    std::u16string_view heading_of(std::u16string_view command) const override;

    // The text of the about overlay: the program's name and version.
    static std::u16string about_text();
    // Shows who the program is: in the skin's "FormAbout" card, or where the skin has none, in
    // the error overlay.
    void show_about();
    // The card, built on first use.
    AboutDialog& about_dialog();
    // Where Help points: the help page of the current language.
    std::u16string help_path() const;

private:
    void fill_file(std::vector<MenuItem>& items);
    void fill_settings(std::vector<MenuItem>& items);
    void fill_choices(std::initializer_list<std::u16string_view> commands, std::u16string_view current,
                      std::vector<MenuItem>& items);
    void save_settings();
    bool fill_language(std::u16string_view command, std::vector<MenuItem>& items);
    // Opens the help page with the desktop's browser; says so when none could show it.
    void open_help();

    ScreenContext& m_context;
    MainScreen& m_screen;
    std::unique_ptr<ReloadOverlay> m_reload;
    std::unique_ptr<AboutDialog> m_about;
    ChildWatch m_help_watch;
};
