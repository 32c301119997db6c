#pragma once
// The recording screen ("FormRecording"), shown while a voice note or a call is recorded: what is
// recorded and for how long, the size of the file and the time left on its storage, the input
// level and the voice-activation threshold, with pause and resume, boost, the speakerphone,
// renaming and stop. The main screen owns it, refreshes it and pushes it when a recording starts;
// it closes itself when the recording stops.
//
// Keys: Space pauses and resumes, Escape (or Back) stops as "btnClose" does.
#include <string>
#include <vector>

#include "app/core/timer.h"
#include "document/document_event.h"
#include "screens/form_screen.h"
#include "screens/menu.h"
#include "screens/record_icons.h"

class ProgressWidget;
class RenameDialog;

class RecordingScreen final : public FormScreen, public DocumentObserver, public MenuProvider, private TimerObserver {
public:
    // The menu and the rename dialog are shared with the other screens; all outlive this one.
    RecordingScreen(ScreenContext& context, Menu& menu, RenameDialog& rename);
    ~RecordingScreen() override;

    // Shows the document's recording afresh; show_title puts its title on "btnName".
    void refresh(bool show_title);
    // Reads the running values: elapsed time, time left, level and size.
    void update_values();

    // "btnClose": the recording stops and takes the title on "btnName".
    void stop_and_close();
    void set_paused(bool paused);
    void set_speaker(bool on);
    // The voice-activation thumb dragged to x (screen pixels): the bar and the threshold follow.
    void drag_threshold(int32_t x);
    void open_boost_menu();
    void open_rename();
    // The title the record gets when the screen closes.
    const std::u16string& title() const { return m_title; }

    void on_document_event(const DocumentEvent& event) override;
    void fill(std::u16string_view command, std::vector<MenuItem>& items) override;

    void on_click(Widget* widget, const PointerEvent& event) override;
    void on_press_changed(Widget* widget, const PointerEvent& event) override;
    void on_drag(Widget* widget, const PointerEvent& event, Point delta) override;
    bool on_key(const KeyEvent& event) override;
    void tick(double elapsed_seconds) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;
    void on_timer(Timer& timer) override;
    void show_pause_state();
    void show_phone_state();
    void show_boost();
    void set_title(std::u16string title);
    // Closes the screen and the boost menu when it is still open for it.
    void leave();

    Menu& m_menu;
    RenameDialog& m_rename;
    screens::RecordIcons m_icons;
    Timer m_live{*this};
    // The recording this screen shows, and the title it gets when the screen closes.
    std::u16string m_path;
    std::u16string m_title;

    Widget* m_icon = nullptr;
    Widget* m_speaker = nullptr;
    Widget* m_artist = nullptr;
    Widget* m_elapsed = nullptr;
    Widget* m_left = nullptr;
    Widget* m_info = nullptr;
    Widget* m_size = nullptr;
    Widget* m_name = nullptr;
    Widget* m_close = nullptr;
    Widget* m_pause = nullptr;
    Widget* m_resume = nullptr;
    Widget* m_boost = nullptr;
    Widget* m_boost_on = nullptr;
    Widget* m_speaker_on = nullptr;
    Widget* m_speaker_off = nullptr;
    Widget* m_vas = nullptr;
    Widget* m_level = nullptr;
    Widget* m_vas_bar = nullptr;
};
