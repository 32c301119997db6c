#pragma once
// The main screen ("FormMain"): the list of recordings in the document's order, the T9 search over
// it, the record button and the way into the menus. It owns the dialogs and the menu, follows the
// document's events, and hands over to the recording and playback screens through hooks, which the
// start-up fills with the screens it built.
//
// Keys (besides those bound in the skin: "R" records, "M" opens the menu, the keyboard's digits):
// a digit opens the search and types into it, so does a letter (as the key keyboard.txt puts it
// on; while the search is open R and M are letters too), Backspace deletes the last key typed and closes the
// search when there is none, Up and Down move the selection and Enter plays it (the list's own).
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "document/document_face.h"
#include "os/date_time.h"
#include "screens/dialogs.h"
#include "screens/form_screen.h"
#include "screens/menu.h"
#include "screens/record_icons.h"
#include "screens/record_row_text.h"
#include "screens/t9_search.h"
#include "skin/color.h"
#include "skin/vlist_widget.h"

struct RecordEntry;
class MainMenu;
class PlaybackScreen;
class RecordingScreen;

struct MainScreenHooks {
    // Refreshes the recording screen and pushes it (not as an overlay).
    std::function<void()> show_recording;
    // The document plays this record: refresh the playback screen with its title and push it.
    std::function<void(const RecordEntry& record)> show_playback;
    // Whether the device has hardware buttons a recording can be started from.
    std::function<bool()> has_hardware_buttons;
    // Pushes the quick-record options screen as an overlay.
    std::function<void()> open_quick_record;
};

class MainScreen final : public FormScreen, public DocumentObserver, private VListAdapter {
public:
    explicit MainScreen(ScreenContext& context, MainScreenHooks hooks = {});
    ~MainScreen() override;

    MainScreenHooks& hooks() { return m_hooks; }
    // Builds this screen and every screen it owns; throws the skin's not-found errors for a skin
    // that lacks a part of any of them.
    void build_all();

    // The search ------------------------------------------------------------------------------------
    const std::u16string& filter() const { return m_filter; }
    // Indices into the document's record list that the search lets through, in list order.
    const std::vector<int32_t>& visible() const { return m_visible; }
    bool is_search_open() const { return m_search_open; }
    void open_search();
    // Closes the search and clears it; every record shows again.
    void reset_search();
    // A key of the search keyboard ('0'..'9', '#'); ignored while nothing is visible.
    void type_key(char16_t key);
    // Deletes the last key typed; closes the search when there is none.
    void backspace();
    const screens::T9KeyMap& key_map() const { return m_key_map; }
    screens::T9KeyMap& key_map() { return m_key_map; }
    // Recomputes which records are visible and sets the list's row count; for tests and
    // benchmarks, the work of one keystroke.
    void recompute_visible();

    // Commands ---------------------------------------------------------------------------------------
    void start_recording();
    // Plays the record of a visible row; a record gone from the disk is reported.
    void activate_row(int32_t row);
    // Plays the recording at path on the playback screen (a call notification chosen); a file that
    // cannot be played is reported.
    void play_record(const std::u16string& path);
    // Asks once before deleting every visible record.
    void ask_delete_visible();
    // Deletes the visible records, the last first; those whose files stay are kept and reported.
    void delete_visible();
    // Whether the visible records could be moved: a second storage exists and one of them lies in
    // main memory.
    bool can_move_visible() const;
    // Moves the visible records of main memory to the last storage; what cannot be moved stays and
    // is reported. The number of records moved.
    int move_visible();
    void open_menu();
    // A recording already running when the screen comes up (started from the command line): as
    // when it starts, its row shows and the recording screen comes up.
    void show_running_recording();

    // The screens it owns ----------------------------------------------------------------------------
    VListWidget& list() const { return *m_list; }
    Menu& menu() { return *m_menu; }
    MainMenu& main_menu() { return *m_main_menu; }
    ConfirmationDialog& confirmation() { return *m_confirmation; }
    ErrorDialog& error_dialog() { return *m_error; }
    RenameDialog& rename_dialog() { return *m_rename; }
    RecordingScreen& recording_screen() { return *m_recording; }
    PlaybackScreen& playback_screen() { return *m_playback; }
    // The language text of key shown in the error overlay.
    void show_error_text(std::u16string_view key);

    // Where the search matches each text of a visible row (none without a search or a match); the
    // matched run is drawn in the skin's "filtered_color".
    struct RowMatch {
        std::optional<size_t> artist;
        std::optional<size_t> name;
    };
    RowMatch row_match(int32_t row) const;

    // The clock the rows' "Today" and "Yesterday" are reckoned by (the system's by default).
    void set_clock(std::function<os::DateTime()> clock) { m_clock = std::move(clock); }
    // The search key a letter typed on a keyboard stands for (keyboard.txt); none for a letter
    // that no key has.
    std::optional<char16_t> key_of_letter(char16_t letter) const;

    void on_click(Widget* widget, const PointerEvent& event) override;
    bool on_key(const KeyEvent& event) override;
    void on_document_event(const DocumentEvent& event) override;

private:
    void attach_nodes() override;
    void on_rebuilt() override;
    void build_row(Widget& row, int32_t type) override;
    void bind_row(Widget& row, int32_t index) override;
    void on_item_activated(VListWidget& list, int32_t index) override;

    bool is_visible_record(const RecordEntry& record) const;
    // The row of a record index, -1 when it is not visible.
    int32_t row_of(int32_t record) const;
    void show_search_controls(bool open);
    // The keys typed so far and the letters they stand for, where the skin has room for them.
    void show_typed_keys();
    // The line that says why the list is empty, where the skin has one.
    void show_empty_line();
    os::DateTime now() const;
    void log_search() const;
    void record_inserted(int32_t index);
    void record_deleted(int32_t index);
    void record_changed(int32_t index);
    // The visible records' paths, in list order.
    std::vector<std::u16string> visible_paths() const;

    MainScreenHooks m_hooks;
    screens::T9KeyMap m_key_map;
    screens::RecordIcons m_icons;
    Color m_filtered_color{0, 0, 0, 255};
    screens::RowWords m_row_words;
    std::function<os::DateTime()> m_clock;

    std::u16string m_filter;
    std::vector<int32_t> m_visible;
    bool m_search_open = false;

    Widget* m_record = nullptr;
    Widget* m_filter_button = nullptr;
    Widget* m_close_filter = nullptr;
    Widget* m_menu_button = nullptr;
    Widget* m_keyboard = nullptr;
    VListWidget* m_list = nullptr;
    Widget* m_backspace_button = nullptr;
    Widget* m_hash_button = nullptr;
    Widget* m_digit_buttons[10] = {};
    // Optional: a skin without them shows no typed keys and no empty-list line.
    Widget* m_title = nullptr;
    Widget* m_search_display = nullptr;
    Widget* m_search_keys = nullptr;
    Widget* m_search_letters = nullptr;
    Widget* m_empty_line = nullptr;
    // The keys the skin binds to the record and menu buttons; off while the search takes letters.
    int32_t m_record_key = 0;
    int32_t m_menu_key = 0;

    std::unique_ptr<ConfirmationDialog> m_confirmation;
    std::unique_ptr<ErrorDialog> m_error;
    std::unique_ptr<RenameDialog> m_rename;
    std::unique_ptr<Menu> m_menu;
    std::unique_ptr<MainMenu> m_main_menu;
    std::unique_ptr<RecordingScreen> m_recording;
    std::unique_ptr<PlaybackScreen> m_playback;
};
