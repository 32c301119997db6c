#pragma once
// The playback screen ("FormView"): plays one recording with play and pause, a position slider
// that seeks, a volume slider, the level meter, the recording's details, renaming, and the menu
// "Menu" with Delete (confirmed), Append, Send and Cancel. The main screen owns it and opens it
// for the row the user chose.
//
// Keys: Space plays and pauses, Escape (or Back) closes as "btnClose" does, Left and Right seek
// 5 s back and forward, Up and Down change the volume.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "os/execute.h"
#include "screens/child_watch.h"
#include "screens/record_screen.h"
#include "screens/waveform_views.h"

class ErrorDialog;

class PlaybackScreen final : public RecordScreen {
public:
    static constexpr double seek_step_seconds = 5.0;
    static constexpr double volume_step = 0.1;

    // Hands a recording to the mail program; null when that could not be started. A program that
    // then ends with a failure (no mail program answered) shows the same error.
    using SendHook = std::function<std::shared_ptr<const os::ChildExit>(const std::u16string& path)>;

    // The menu and the dialogs are shared with the other screens; all outlive this one.
    PlaybackScreen(ScreenContext& context, Menu& menu, RenameDialog& rename, ErrorDialog& error);

    void set_send_hook(SendHook hook) { m_send = std::move(hook); }

    // Plays the recording at path from its beginning and shows the screen with its title. A file
    // that cannot be played shows the error overlay instead (false), never an empty screen.
    bool open(const std::u16string& path);
    // Shows the document's current record afresh; show_title puts its title on "btnName".
    void refresh(bool show_title);
    // Reads the running values: position, time left, level.
    void update_values() override;

    // "btnPlay": resumes, or plays the record again from its beginning once playback has ended.
    void play();
    void pause();
    // "btnClose": playback stops, the record takes the title on "btnName", the screen closes.
    void stop_and_close();
    // Positions the playback at a fraction of the recording; nothing without a playback.
    void seek_to(double fraction);
    void seek_by(double seconds);
    void set_volume(double volume);
    void open_menu();
    // "btnSpeed": the next of the speeds offered, round to the slowest after the fastest.
    void next_speed();
    // "btnSkipSilence": silences longer than a second are shortened, or no longer.
    void toggle_skip_silence();

    void on_document_event(const DocumentEvent& event) override;
    void fill(std::u16string_view command, std::vector<MenuItem>& items) override;

    void on_click(Widget* widget, const PointerEvent& event) override;
    void on_press_changed(Widget* widget, const PointerEvent& event) override;
    void on_drag(Widget* widget, const PointerEvent& event, Point delta) override;
    bool on_key(const KeyEvent& event) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;
    bool values_move() const override;
    void rename_after_close(const std::u16string& title) override;
    // The title on "btnName" becomes the record's when it differs.
    void apply_title();
    // "btnName" shows the file's name while the record has no title.
    void show_name();
    void show_error(std::u16string_view key);
    void append();
    void send();
    void confirm_delete();

    ErrorDialog& m_error;
    SendHook m_send;
    ChildWatch m_send_watch;

    Widget* m_play = nullptr;
    Widget* m_pause = nullptr;
    Widget* m_menu_button = nullptr;
    Widget* m_volume = nullptr;
    Widget* m_position = nullptr;
    Widget* m_volume_bar = nullptr;
    Widget* m_position_bar = nullptr;
    screens::PlaybackWaveView m_wave;
    // Optional: a skin without them plays at the remembered speed and skipping.
    Widget* m_speed = nullptr;
    Widget* m_skip = nullptr;
    Widget* m_skip_on = nullptr;
    void show_speed_and_skipping();
};
