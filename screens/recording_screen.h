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

#include "screens/record_screen.h"
#include "screens/waveform_views.h"

class RecordingScreen final : public RecordScreen {
public:
    // The menu and the rename dialog are shared with the other screens; all outlive this one.
    RecordingScreen(ScreenContext& context, Menu& menu, RenameDialog& rename);

    // Shows the document's recording afresh; show_title puts its title on "btnName".
    void refresh(bool show_title);
    // Reads the running values: elapsed time, time left, level and size.
    void update_values() override;

    // "btnClose": the recording stops and takes the title on "btnName".
    void stop_and_close();
    void set_paused(bool paused);
    void set_speaker(bool on);
    // The voice-activation thumb dragged to x (screen pixels): the bar and the threshold follow.
    void drag_threshold(int32_t x);
    void open_boost_menu();

    void on_document_event(const DocumentEvent& event) override;
    void fill(std::u16string_view command, std::vector<MenuItem>& items) override;

    void on_click(Widget* widget, const PointerEvent& event) override;
    void on_press_changed(Widget* widget, const PointerEvent& event) override;
    void on_drag(Widget* widget, const PointerEvent& event, Point delta) override;
    bool on_key(const KeyEvent& event) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;
    bool values_move() const override { return true; }
    void rename_after_close(const std::u16string& title) override;
    void show_pause_state();
    void show_phone_state();
    void show_boost();

    Widget* m_speaker = nullptr;
    Widget* m_pause = nullptr;
    Widget* m_resume = nullptr;
    Widget* m_boost = nullptr;
    Widget* m_boost_on = nullptr;
    Widget* m_speaker_on = nullptr;
    Widget* m_speaker_off = nullptr;
    Widget* m_vas = nullptr;
    Widget* m_vas_bar = nullptr;
    screens::RecordingWaveView m_waves;
};
