#pragma once
// What the recording and the playback screen share: one recording's details (its icon, artist,
// times, format and size), its title on "btnName" with the rename dialog, the running values read
// at every frame and on a timer while the screen is shown (frames only come when something
// changed), and the menu they lend to their own commands.
#include <string>

#include "core/timer.h"
#include "document/document_face.h"
#include "screens/form_screen.h"
#include "screens/menu.h"
#include "screens/record_icons.h"

class RenameDialog;

class RecordScreen : public FormScreen, public DocumentObserver, public MenuProvider, private TimerObserver {
public:
    // The menu and the rename dialog are shared with the other screens; all outlive this one.
    RecordScreen(ScreenContext& context, std::u16string element, Menu& menu, RenameDialog& rename);
    ~RecordScreen() override;

    // Reads the running values (times, level, size) into the nodes.
    virtual void update_values() = 0;
    void open_rename();
    // The title the record gets when the screen closes.
    const std::u16string& title() const { return m_title; }

    void tick(double elapsed_seconds) override;

protected:
    // Looks up the nodes both forms have: "icon", "frmArtist", "frmElapsed", "frmLeft", "frmInfo",
    // "frmSize", "pbLevel", and the buttons "btnName" and "btnClose".
    void attach_details();
    void set_title(std::u16string title);
    // Reads the running values every so often from now on, while the screen is shown.
    void keep_values_live();
    // Whether the values still change (a recording or playback runs).
    virtual bool values_move() const = 0;
    // A rename confirmed after the screen closed, whose closing would have applied it.
    virtual void rename_after_close(const std::u16string& title) = 0;
    // Closes the screen, and the menu when it is open for this screen.
    void leave();
    // Inside fill(): the menu is carrying out one of this screen's commands and closes by itself.
    bool m_filling = false;

    Menu& m_menu;
    RenameDialog& m_rename;
    screens::RecordIcons m_icons;
    // The recording this screen shows, and the title it gets when the screen closes.
    std::u16string m_path;
    std::u16string m_title;

    Widget* m_icon = nullptr;
    Widget* m_artist = nullptr;
    Widget* m_elapsed = nullptr;
    Widget* m_left = nullptr;
    Widget* m_info = nullptr;
    Widget* m_size = nullptr;
    Widget* m_level = nullptr;
    Widget* m_name = nullptr;
    Widget* m_close = nullptr;

private:
    void on_timer(Timer& timer) override;

    Timer m_live{*this};
};
