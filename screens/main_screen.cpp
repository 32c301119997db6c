#include "screens/main_screen.h"

#include <algorithm>

#include "document/document_face.h"
#include "lang/text_variables.h"
#include "os/log.h"
#include "os/mail.h"
#include "os/path.h"
#include "screens/main_menu.h"
#include "screens/playback_screen.h"
#include "screens/record_row_text.h"
#include "screens/recording_screen.h"
#include "screens/skin_lookups.h"
#include "skin/button_widget.h"
#include "skin/key_event.h"
#include "skin/simple_widgets.h"
#include "skin/skin_exceptions.h"
#include "skin/text_widget.h"

namespace {

bool is_press(const KeyEvent& event) { return event.pressed && event.fresh; }

// The letters a key of the search keyboard stands for, as its label shows them.
std::u16string_view letters_key_of(char16_t key) {
    static constexpr std::u16string_view labels[] = {u"ABC", u"DEF", u"GHI", u"JKL", u"MNO", u"PQRS", u"TUV", u"WXYZ"};
    if (key < u'2' || key > u'9') return {};
    return labels[key - u'2'];
}

void show_text(Widget* widget, std::u16string_view text, std::optional<size_t> match, size_t length, Color color) {
    if (!widget) return;
    widget->set_text(text);
    if (auto* shown = dynamic_cast<TextWidget*>(widget)) {
        if (match) shown->set_highlight(*match, length, color);
    }
}

}  // namespace

MainScreen::MainScreen(ScreenContext& context, MainScreenHooks hooks)
    : FormScreen(context, std::u16string(skin_id::form_main)),
      m_hooks(std::move(hooks)),
      m_confirmation(std::make_unique<ConfirmationDialog>(context)),
      m_error(std::make_unique<ErrorDialog>(context)),
      m_rename(std::make_unique<RenameDialog>(context)),
      m_menu(std::make_unique<Menu>(context)),
      m_main_menu(std::make_unique<MainMenu>(context, *this)) {
    m_menu->set_provider(m_main_menu.get());
    m_key_map.load(u"%app_path%/keyboard.txt");
    // The main screen hears the document's events before the screens it shows, so that a
    // recording's row exists when its screen comes up.
    context.document.add_observer(this);
    m_recording = std::make_unique<RecordingScreen>(context, *m_menu, *m_rename);
    m_playback = std::make_unique<PlaybackScreen>(context, *m_menu, *m_rename, *m_error);
    m_playback->set_send_hook([](const std::u16string& path) { return os::start_mail(path); });
    if (!m_hooks.show_recording) {
        m_hooks.show_recording = [this] {
            m_recording->refresh(true);
            m_recording->show(false);
        };
    }
    if (!m_hooks.show_playback) {
        m_hooks.show_playback = [this](const RecordEntry&) {
            m_playback->refresh(true);
            m_playback->show(false);
        };
    }
}

MainScreen::~MainScreen() {
    context().document.remove_observer(this);
    if (m_list) m_list->set_adapter(nullptr);
    // The screens it owns leave the stack before it does.
    m_playback.reset();
    m_recording.reset();
    m_menu.reset();
    m_rename.reset();
    m_error.reset();
    m_confirmation.reset();
}

void MainScreen::build_all() {
    build();
    m_menu->build();
    m_confirmation->build();
    m_error->build();
    m_rename->build();
    m_recording->build();
    m_playback->build();
}

void MainScreen::attach_nodes() {
    m_record = &control(skin_id::btn_record);
    m_filter_button = &control(skin_id::btn_filter);
    m_close_filter = &control(skin_id::btn_close_filter);
    m_menu_button = &control(skin_id::btn_menu);
    m_keyboard = &node(skin_id::keyboard_container);
    m_list = dynamic_cast<VListWidget*>(&node(skin_id::list));
    if (!m_list) throw NodeNotFound(std::u16string(skin_id::form_main), std::u16string(skin_id::list));
    for (int digit = 0; digit < 10; ++digit) {
        const char16_t id[] = {u'b', u'u', u't', u't', u'o', u'n', static_cast<char16_t>(u'0' + digit), 0};
        m_digit_buttons[digit] = &control(id);
    }
    m_hash_button = &control(skin_id::button_hash);
    m_backspace_button = &control(skin_id::button_backspace);

    const Properties& skin = context().skin;
    m_icons.load(skin);
    const auto filtered = skin.find_element(skin_id::filtered_color);
    m_filtered_color = filtered ? skin.get_color(*filtered, u"color", Color{0, 0, 0, 255}) : Color{0, 0, 0, 255};

    m_title = optional_node(skin_id::title);
    m_search_display = optional_node(skin_id::search_display);
    m_search_keys = optional_node(skin_id::search_keys);
    m_search_letters = optional_node(skin_id::search_letters);
    m_empty_line = optional_node(skin_id::empty_list);
    m_row_words = {text_of(u"Row_today"), text_of(u"Row_yesterday"), text_of(u"Row_incoming"), text_of(u"Row_outgoing"),
                   text_of(u"Row_recording")};
    auto* record_button = dynamic_cast<ButtonWidget*>(m_record);
    auto* menu_button = dynamic_cast<ButtonWidget*>(m_menu_button);
    m_record_key = record_button ? record_button->bound_key() : key::None;
    m_menu_key = menu_button ? menu_button->bound_key() : key::None;

    m_list->set_adapter(this);
    show_search_controls(m_search_open);
    recompute_visible();
}

void MainScreen::on_rebuilt() {
    // The search survives a skin reload (a language change from the menu).
    show_search_controls(m_search_open);
}

// ---- the list -------------------------------------------------------------------------------

void MainScreen::build_row(Widget& row, int32_t) {
    if (!row.bind(context().skin, skin_id::record)) throw NodeNotFoundInSkin(std::u16string(skin_id::record));
}

void MainScreen::bind_row(Widget& row, int32_t index) {
    if (index < 0 || index >= static_cast<int32_t>(m_visible.size())) return;
    const DocumentFace& document = context().document;
    const RecordEntry& record = document.records().at(static_cast<size_t>(m_visible[index]));
    if (auto* icon = dynamic_cast<ImageWidget*>(row.find_child(skin_id::icon))) {
        icon->set_picture(m_icons.picture_for(record.path));
    }
    const bool being_recorded = document.is_recording() && document.current_record().path == record.path;
    const screens::RowTexts texts = screens::row_texts(record, being_recorded, now(), m_row_words);
    const RowMatch match = row_match(index);
    const std::optional<size_t> no_match;
    show_text(row.find_child(skin_id::name), texts.title, texts.title_is_artist ? match.artist : match.name,
              m_filter.size(), m_filtered_color);
    show_text(row.find_child(skin_id::artist), texts.details, texts.details_start_with_artist ? match.artist : no_match,
              m_filter.size(), m_filtered_color);
}

os::DateTime MainScreen::now() const { return m_clock ? m_clock() : os::now(); }

MainScreen::RowMatch MainScreen::row_match(int32_t row) const {
    RowMatch match;
    if (m_filter.empty() || row < 0 || row >= static_cast<int32_t>(m_visible.size())) return match;
    const RecordEntry& record = context().document.records().at(static_cast<size_t>(m_visible[row]));
    // Each text shows its own match, though one is enough to show the record.
    match.artist = screens::t9_match(m_filter, screens::searchable_artist(record), m_key_map);
    match.name = screens::t9_match(m_filter, screens::title_of(record), m_key_map);
    return match;
}

void MainScreen::on_item_activated(VListWidget&, int32_t index) { activate_row(index); }

bool MainScreen::is_visible_record(const RecordEntry& record) const {
    if (m_filter.empty()) return true;
    // A voice note's artist is the same "Record" for all: "7" would find every one of them.
    return screens::t9_match(m_filter, screens::searchable_artist(record), m_key_map) ||
           screens::t9_match(m_filter, screens::title_of(record), m_key_map);
}

int32_t MainScreen::row_of(int32_t record) const {
    const auto found = std::lower_bound(m_visible.begin(), m_visible.end(), record);
    if (found == m_visible.end() || *found != record) return -1;
    return static_cast<int32_t>(found - m_visible.begin());
}

void MainScreen::recompute_visible() {
    const RecordList& records = context().document.records();
    m_visible.clear();
    m_visible.reserve(records.size());
    for (size_t i = 0; i < records.size(); ++i) {
        if (is_visible_record(records.at(i))) m_visible.push_back(static_cast<int32_t>(i));
    }
    if (m_list) m_list->reset(static_cast<int32_t>(m_visible.size()));
    show_empty_line();
}

void MainScreen::show_empty_line() {
    if (!m_empty_line) return;
    const bool empty = m_visible.empty();
    // No event tells of a scan that found nothing, so the line does not wait for the scan: the
    // first recording it finds hides it again.
    if (empty) m_empty_line->set_text(text_of(m_filter.empty() ? u"Main_empty" : u"Main_no_matches"));
    if (m_empty_line->is_visible() != empty) {
        m_empty_line->set_visible_now(empty);
        mark_redraw();
    }
}

std::vector<std::u16string> MainScreen::visible_paths() const {
    std::vector<std::u16string> paths;
    const RecordList& records = context().document.records();
    for (int32_t index : m_visible) paths.push_back(records.at(static_cast<size_t>(index)).path);
    return paths;
}

// ---- the search -----------------------------------------------------------------------------

void MainScreen::show_search_controls(bool open) {
    if (!m_filter_button) return;
    m_filter_button->set_visible_now(!open);
    m_close_filter->set_visible_now(open);
    m_keyboard->set_visible(open);
    if (m_title) m_title->set_visible_now(!open);
    if (m_search_display) m_search_display->set_visible_now(open);
    show_typed_keys();
    // While the search is open, letters typed on a keyboard search, R and M among them.
    if (auto* record_button = dynamic_cast<ButtonWidget*>(m_record)) {
        record_button->set_bound_key(open ? key::None : m_record_key);
    }
    if (auto* menu_button = dynamic_cast<ButtonWidget*>(m_menu_button)) {
        menu_button->set_bound_key(open ? key::None : m_menu_key);
    }
    mark_redraw();
}

void MainScreen::show_typed_keys() {
    if (m_search_keys) m_search_keys->set_text(m_filter);
    if (!m_search_letters) return;
    std::u16string letters;
    for (char16_t key : m_filter) {
        if (!letters.empty()) letters += u' ';
        const std::u16string_view label = letters_key_of(key);
        letters += label.empty() ? std::u16string(1, key) : text_of(label);
    }
    m_search_letters->set_text(letters);
}

std::optional<char16_t> MainScreen::key_of_letter(char16_t letter) const {
    const char16_t lower = screens::to_lower_for_search(letter);
    for (char16_t key : std::u16string_view(u"23456789#01")) {
        if (key != lower && m_key_map.matches(key, lower)) return key;
    }
    return std::nullopt;
}

void MainScreen::open_search() {
    if (!m_list) build();
    m_search_open = true;
    show_search_controls(true);
}

void MainScreen::reset_search() {
    if (!m_list) build();
    m_search_open = false;
    m_filter.clear();
    show_search_controls(false);
    recompute_visible();
}

void MainScreen::type_key(char16_t key) {
    if (m_visible.empty()) return;
    m_filter.push_back(key);
    recompute_visible();
    show_typed_keys();
    log_search();
}

void MainScreen::backspace() {
    if (m_filter.empty()) {
        reset_search();
        return;
    }
    m_filter.pop_back();
    recompute_visible();
    show_typed_keys();
    log_search();
}

void MainScreen::log_search() const {
    // What a user typed and found, for a report of a search that "finds nothing".
    os::log() << u"main screen: search " << m_filter << u" shows " << static_cast<int64_t>(m_visible.size()) << u"\n";
}

// ---- commands -------------------------------------------------------------------------------

void MainScreen::start_recording() { context().document.record_voice_note(); }

void MainScreen::activate_row(int32_t row) {
    if (row < 0 || row >= static_cast<int32_t>(m_visible.size())) return;
    // The path is copied: playing stops a recording, which may change the list.
    play_record(std::u16string(context().document.records().at(static_cast<size_t>(m_visible[row])).path));
}

void MainScreen::play_record(const std::u16string& path) {
    DocumentFace& document = context().document;
    if (!document.play(path)) {
        os::log() << u"main screen: cannot play " << path << u"\n";
        show_error_text(u"Sorry_cannot_open_file");
        return;
    }
    if (m_hooks.show_playback) m_hooks.show_playback(document.current_record());
}

void MainScreen::ask_delete_visible() {
    const std::u16string question =
        lang::set_count(text_of(u"Confirm_deleting"), static_cast<long long>(m_visible.size()));
    m_confirmation->ask(question, [this] { delete_visible(); });
}

void MainScreen::delete_visible() {
    os::log() << u"os::delete_file 3\n";
    const std::vector<std::u16string> paths = visible_paths();
    int kept = 0;
    for (auto path = paths.rbegin(); path != paths.rend(); ++path) {
        if (!context().document.remove_record(*path)) ++kept;
    }
    reset_search();
    if (kept > 0) show_error_text(u"Sorry_cannot_delete_files");
}

bool MainScreen::can_move_visible() const {
    if (context().document.storages().size() < 2) return false;
    const RecordList& records = context().document.records();
    return std::any_of(m_visible.begin(), m_visible.end(),
                       [&](int32_t index) { return is_in_main_memory(records.at(static_cast<size_t>(index)).path); });
}

int MainScreen::move_visible() {
    DocumentFace& document = context().document;
    const std::vector<StorageEntry> storages = document.storages();
    if (storages.size() < 2) return 0;
    const std::u16string destination = os::strip_separator(storages.back().path);
    const std::u16string main_memory = os::strip_separator(storages.front().path);
    int moved = 0;
    int failed = 0;
    for (const std::u16string& path : visible_paths()) {
        if (!is_in_main_memory(path)) continue;
        // A call recording stays a call recording: its "Incoming" or "Outgoing" folder comes along.
        const std::u16string folder = os::strip_separator(os::folder_of(path));
        std::u16string target = destination;
        if (os::is_under(folder, main_memory) && folder.size() > main_memory.size()) {
            target += folder.substr(main_memory.size());
        }
        if (document.move_record(path, target).empty()) {
            ++failed;
        } else {
            ++moved;
        }
    }
    // Every file that fits is moved; the user hears once about the ones that stayed.
    if (failed > 0) show_error_text(u"Sorry_cannot_move_files");
    return moved;
}

void MainScreen::open_menu() {
    // The recording and playback screens lend the menu to their own providers.
    m_menu->set_provider(m_main_menu.get());
    m_menu->open(u"MainMenu", u"", true);
}

void MainScreen::show_error_text(std::u16string_view key) { m_error->show_error(text_of(key)); }

// ---- input ----------------------------------------------------------------------------------

void MainScreen::on_click(Widget* widget, const PointerEvent&) {
    if (widget == m_record) {
        start_recording();
    } else if (widget == m_filter_button) {
        open_search();
    } else if (widget == m_close_filter) {
        reset_search();
    } else if (widget == m_menu_button) {
        open_menu();
    } else if (widget == m_hash_button) {
        type_key(u'#');
    } else if (widget == m_backspace_button) {
        backspace();
    } else {
        for (int digit = 0; digit < 10; ++digit) {
            if (widget == m_digit_buttons[digit]) type_key(static_cast<char16_t>(u'0' + digit));
        }
    }
}

bool MainScreen::on_key(const KeyEvent& event) {
    if (!is_press(event)) return FormScreen::on_key(event);
    const int32_t code = event.code;
    if (code >= key::Digit0 && code <= key::Digit0 + 9) {
        // Typing on the hardware keys opens the search as the search button would.
        if (!m_search_open) open_search();
        type_key(static_cast<char16_t>(u'0' + (code - key::Digit0)));
        return true;
    }
    if (code == key::Hash || code == key::Star) {
        if (!m_search_open) open_search();
        type_key(code == key::Hash ? u'#' : u'*');
        return true;
    }
    if ((code == key::Backspace || code == key::Esc) && m_search_open) {
        backspace();
        return true;
    }
    if (code >= key::letter('A') && code <= key::letter('Z')) {
        const char16_t letter = static_cast<char16_t>(u'a' + (code - key::letter('A')));
        // Without an open search R and M keep their buttons' work; any other letter opens it.
        const bool command = code == key::letter('R') || code == key::letter('M');
        if (m_search_open || !command) {
            const std::optional<char16_t> typed = key_of_letter(letter);
            if (!typed) return FormScreen::on_key(event);
            if (!m_search_open) open_search();
            type_key(*typed);
            return true;
        }
    }
    // The skin binds these to their buttons; a skin that does not still gets them.
    if (code == key::letter('R')) {
        start_recording();
        return true;
    }
    if (code == key::letter('M') || code == key::ContextMenu) {
        open_menu();
        return true;
    }
    return FormScreen::on_key(event);
}

// ---- the document's events ------------------------------------------------------------------

void MainScreen::record_inserted(int32_t index) {
    // Later records move down by one.
    const auto first_after = std::lower_bound(m_visible.begin(), m_visible.end(), index);
    for (auto it = first_after; it != m_visible.end(); ++it) ++*it;
    const RecordList& records = context().document.records();
    if (index < 0 || static_cast<size_t>(index) >= records.size()) return;
    if (!is_visible_record(records.at(static_cast<size_t>(index)))) return;
    const auto row = m_visible.insert(first_after, index);
    if (m_list) m_list->insert_item(static_cast<int32_t>(row - m_visible.begin()));
}

void MainScreen::record_deleted(int32_t index) {
    const int32_t row = row_of(index);
    const auto first_after = std::upper_bound(m_visible.begin(), m_visible.end(), index);
    for (auto it = first_after; it != m_visible.end(); ++it) --*it;
    if (row < 0) return;
    m_visible.erase(m_visible.begin() + row);
    if (m_list) m_list->remove_item(row);
}

void MainScreen::record_changed(int32_t index) {
    const int32_t row = row_of(index);
    if (row >= 0 && m_list) m_list->refresh_item(row);
}

void MainScreen::on_document_event(const DocumentEvent& event) {
    switch (event.code) {
        case DocumentEvent::CardProblem:
            show_error_text(u"Sorry_card_problem");
            return;
        case DocumentEvent::WriterFailed:
            show_error_text(u"Sorry_no_memory");
            return;
        case DocumentEvent::BufferFailed:
            show_error_text(u"Sorry_too_slow_device");
            return;
        case DocumentEvent::FileGone:
            show_error_text(u"Sorry_file_gone");
            return;
        case DocumentEvent::CaptureLost:
            os::log() << u"main screen: the sound input was lost\n";
            show_error_text(u"Sorry_sound_input_lost");
            return;
        case DocumentEvent::AppendStarted:
            // The appended-to row says that it is being recorded.
            if (m_list) m_list->refresh_all();
            if (m_hooks.show_recording) m_hooks.show_recording();
            return;
        case DocumentEvent::Stopped:
            // A finished recording's row shows its length instead.
            if (m_list) m_list->refresh_all();
            break;
        default:
            break;
    }
    // Before the screen is built there are no rows to follow: they are made from the document's
    // list when it is.
    if (m_list) {
        switch (event.code) {
            case DocumentEvent::ListRebuilt:
                reset_search();
                break;
            case DocumentEvent::RecordInserted:
                record_inserted(event.parameter);
                break;
            case DocumentEvent::RecordDeleted:
                record_deleted(event.parameter);
                break;
            case DocumentEvent::RecordRenamed:
                record_changed(event.parameter);
                break;
            case DocumentEvent::RecordingStarted:
                reset_search();
                m_list->ensure_visible(row_of(event.parameter));
                break;
            default:
                break;
        }
        show_empty_line();
    }
    if (event.code == DocumentEvent::RecordingStarted && m_hooks.show_recording) m_hooks.show_recording();
}

void MainScreen::show_running_recording() {
    if (!context().document.is_recording()) return;
    on_document_event(
        {DocumentEvent::RecordingStarted, context().document.records().find(context().document.current_record().path)});
}
