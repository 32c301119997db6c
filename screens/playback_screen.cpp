#include "screens/playback_screen.h"

#include <algorithm>

#include "document/document_face.h"
#include "os/file_system.h"
#include "screens/dialogs.h"
#include "screens/record_formats.h"
#include "screens/screen_values.h"
#include "screens/skin_lookups.h"
#include "skin/button_widget.h"
#include "skin/simple_widgets.h"

namespace {
constexpr std::u16string_view menu_command = u"Menu";

// A file without a title (an untagged WAV, a file from elsewhere) is named by its file name, as in
// the list.
std::u16string file_name_of(std::u16string_view path) {
    const size_t cut = path.find_last_of(u"/\\");
    if (cut != std::u16string_view::npos) path.remove_prefix(cut + 1);
    const size_t dot = path.rfind(u'.');
    if (dot != std::u16string_view::npos && dot > 0) path = path.substr(0, dot);
    return std::u16string(path);
}
}  // namespace

PlaybackScreen::PlaybackScreen(ScreenContext& context, Menu& menu, RenameDialog& rename, ErrorDialog& error)
    : RecordScreen(context, std::u16string(skin_id::form_view), menu, rename), m_error(error) {}

void PlaybackScreen::attach_nodes() {
    attach_details();
    m_play = &control(skin_id::btn_play);
    m_pause = &control(skin_id::btn_pause);
    m_menu_button = &control(skin_id::btn_menu);
    m_volume = &control(skin_id::btn_volume);
    m_position = &control(skin_id::btn_position);
    m_volume_bar = &node(skin_id::pb_volume);
    m_position_bar = &node(skin_id::pb_position);
    screens::keep_thumb(m_volume_bar);
    screens::keep_thumb(m_position_bar);
    for (std::u16string_view id : skin_lookups::ids::view_hidden) node(id).set_visible_now(false);
    m_wave.attach(optional_node(skin_id::wave), optional_control(skin_id::btn_wave));
    m_speed = optional_control(skin_id::btn_speed);
    m_skip = optional_control(skin_id::btn_skip_silence);
    m_skip_on = optional_node(skin_id::skip_on);
}

void PlaybackScreen::show_speed_and_skipping() {
    const Settings& settings = context().document.settings();
    if (m_speed) {
        // "1.25×": the speed as a factor, without trailing zeros.
        const int percent = settings.playback_speed;
        std::u16string text = std::u16string(1, static_cast<char16_t>(u'0' + percent / 100));
        const int rest = percent % 100;
        if (rest != 0) {
            text += u'.';
            text += static_cast<char16_t>(u'0' + rest / 10);
            if (rest % 10 != 0) text += static_cast<char16_t>(u'0' + rest % 10);
        }
        m_speed->set_text(text + u"\u00D7");
    }
    if (m_skip_on) m_skip_on->set_visible(settings.skip_silence != 0);
}

void PlaybackScreen::next_speed() {
    DocumentFace& document = context().document;
    const int now = document.settings().playback_speed;
    const std::span<const int> speeds = document.playback_speeds();
    int next = speeds[0];
    for (int speed : speeds) {
        if (speed > now) {
            next = speed;
            break;
        }
    }
    document.set_playback_speed(next);
    document.save_settings();
    show_speed_and_skipping();
}

void PlaybackScreen::toggle_skip_silence() {
    DocumentFace& document = context().document;
    document.set_skip_silence(document.settings().skip_silence == 0);
    document.save_settings();
    show_speed_and_skipping();
}

void PlaybackScreen::on_rebuilt() {
    refresh(false);
    show_name();
    update_values();
}

void PlaybackScreen::show_name() {
    // Only shown: the file keeps having no title until the user gives it one.
    m_name->set_text(m_title.empty() ? file_name_of(m_path) : m_title);
}

bool PlaybackScreen::open(const std::u16string& path) {
    if (!context().document.play(path)) {
        show_error(u"Sorry_cannot_open_file");
        return false;
    }
    refresh(true);
    show(false);
    return true;
}

void PlaybackScreen::refresh(bool show_title) {
    if (!m_elapsed) build();
    DocumentFace& document = context().document;
    const RecordEntry& record = document.current_record();
    m_path = record.path;
    if (auto* icon = dynamic_cast<ImageWidget*>(m_icon)) icon->set_picture(m_icons.picture_for(record.path));
    m_artist->set_text(record.artist);
    m_elapsed->set_text(screens::duration_text(0));
    m_left->set_text(screens::duration_text(record.duration));
    m_info->set_text(screens::record_format_text(record));
    m_size->set_text(screens::size_text(os::FileInfo(record.path).full_size));
    const bool stopped = document.is_paused() || !document.is_playing();
    m_play->set_visible(stopped);
    m_pause->set_visible(!stopped);
    screens::show_value(m_volume_bar, document.volume());
    show_speed_and_skipping();
    if (show_title) set_title(record.title);
    show_name();
    if (values_move()) keep_values_live();
}

void PlaybackScreen::update_values() {
    if (!m_elapsed) return;
    DocumentFace& document = context().document;
    const double duration = document.current_record().duration;
    const bool playing = document.is_playing();
    const double position = playing ? std::clamp(document.play_position(), 0.0, std::max(duration, 0.0)) : 0.0;
    m_elapsed->set_text(screens::duration_text(position));
    m_left->set_text(screens::duration_text(duration - position));
    screens::show_value(m_position_bar, duration > 0 ? position / duration : 0.0);
    m_wave.update(document, duration > 0 ? position / duration : 0.0);
    // Paused or stopped, nothing is heard: the meter rests at zero instead of keeping the last peak.
    const double level = playing && !document.is_paused() ? document.output_level() : 0.0;
    screens::show_value(m_level, level);
}

bool PlaybackScreen::values_move() const {
    DocumentFace& document = context().document;
    // Peaks still being computed come in while the playback rests, too.
    return (document.is_playing() && !document.is_paused()) || document.is_computing_wave();
}

void PlaybackScreen::apply_title() {
    DocumentFace& document = context().document;
    if (m_title.empty() || document.current_record().path != m_path) return;
    document.set_title(m_title);
    m_path = document.current_record().path;
}

void PlaybackScreen::show_error(std::u16string_view key) { m_error.show_error(text_of(key)); }

// ---- commands ---------------------------------------------------------------------------------

void PlaybackScreen::play() {
    DocumentFace& document = context().document;
    if (document.is_playing()) {
        document.set_paused(false);
    } else if (!document.play(m_path)) {
        show_error(u"Sorry_cannot_open_file");
    }
    refresh(false);
}

void PlaybackScreen::pause() {
    DocumentFace& document = context().document;
    if (document.is_playing()) document.set_paused(true);
    refresh(false);
}

void PlaybackScreen::stop_and_close() {
    context().document.stop();
    apply_title();
    leave();
}

void PlaybackScreen::seek_to(double fraction) {
    DocumentFace& document = context().document;
    // After the end there is nothing to move: "btnPlay" starts over instead.
    if (!document.is_playing()) return;
    screens::show_value(m_position_bar, fraction);
    document.seek(fraction);
}

void PlaybackScreen::seek_by(double seconds) {
    DocumentFace& document = context().document;
    const double duration = document.current_record().duration;
    if (!document.is_playing() || !(duration > 0)) return;
    // From the position heard (and shown), not the reader's, which runs ahead by what the player
    // holds: so each step is exactly the step.
    const double target = std::clamp(document.play_position() + seconds, 0.0, duration);
    screens::show_value(m_position_bar, target / duration);
    document.seek_time(target);
    update_values();
}

void PlaybackScreen::set_volume(double volume) {
    volume = std::clamp(volume, 0.0, 1.0);
    screens::show_value(m_volume_bar, volume);
    context().document.set_volume(volume);
}

void PlaybackScreen::open_menu() {
    m_menu.set_provider(this);
    m_menu.open(menu_command, u"", true);
}

void PlaybackScreen::rename_after_close(const std::u16string&) { apply_title(); }

void PlaybackScreen::fill(std::u16string_view command, std::vector<MenuItem>& items) {
    m_filling = true;
    if (command == menu_command) {
        for (std::u16string_view item : {u"Delete", u"Append", u"Send", u"Cancel"}) {
            items.push_back(screens::menu_item(item));
        }
    } else if (command == u"Delete") {
        context().document.stop();
        items.push_back(screens::menu_item(u"Confirm", skin_id::menu_element_red));
        items.push_back(screens::menu_item(u"Cancel"));
    } else if (command == u"Confirm") {
        confirm_delete();
    } else if (command == u"Append") {
        append();
    } else if (command == u"Send") {
        send();
    }
    m_filling = false;
}

void PlaybackScreen::confirm_delete() {
    DocumentFace& document = context().document;
    if (document.current_record().path != m_path || !document.remove()) {
        show_error(u"Sorry_cannot_delete_files");
        return;
    }
    leave();
}

void PlaybackScreen::append() {
    DocumentFace& document = context().document;
    // A new title waiting for the close is given first, so the recording screen shows it.
    document.stop();
    apply_title();
    if (!document.record_append()) {
        show_error(u"Sorry_cannot_append");
        refresh(false);
        return;
    }
    leave();
}

void PlaybackScreen::send() {
    const std::u16string path = context().document.current_record().path;
    std::shared_ptr<const os::ChildExit> composer = m_send ? m_send(path) : nullptr;
    if (!composer) {
        show_error(u"Sorry_cannot_send");
        return;
    }
    m_send_watch.watch(std::move(composer), [this] { show_error(u"Sorry_cannot_send"); });
}

// ---- events -----------------------------------------------------------------------------------

void PlaybackScreen::on_document_event(const DocumentEvent& event) {
    if (!m_elapsed || !is_shown()) return;
    switch (event.code) {
        case DocumentEvent::Stopped:
            refresh(false);
            break;
        case DocumentEvent::PausedOrResumed:
            refresh(false);
            break;
        case DocumentEvent::PlayerFailed:
            // The playback ended at once: the screen stays, with Play to try again.
            refresh(false);
            show_error(u"Sorry_no_sound_output");
            break;
        case DocumentEvent::RecordRenamed:
            m_path = context().document.current_record().path;
            break;
        case DocumentEvent::RecordingStarted:
        case DocumentEvent::AppendStarted:
        case DocumentEvent::CardProblem:
            // A recording takes the screen over; a card that went took the file with it.
            leave();
            break;
        default:
            break;
    }
}

void PlaybackScreen::on_click(Widget* widget, const PointerEvent&) {
    if (widget == m_close) {
        stop_and_close();
    } else if (widget == m_play) {
        play();
    } else if (widget == m_pause) {
        pause();
    } else if (widget == m_menu_button) {
        open_menu();
    } else if (widget == m_name) {
        open_rename();
    } else if (widget && widget == m_speed) {
        next_speed();
    } else if (widget && widget == m_skip) {
        toggle_skip_silence();
    }
}

void PlaybackScreen::on_press_changed(Widget* widget, const PointerEvent&) {
    // The volume is a setting: it is saved once a thumb is let go, not on every step of a drag.
    auto* thumb = dynamic_cast<ButtonWidget*>(widget);
    if ((widget == m_volume || widget == m_position) && thumb && !thumb->is_pressed()) {
        context().document.save_settings();
    }
}

void PlaybackScreen::on_drag(Widget* widget, const PointerEvent& event, Point) {
    if (widget == m_volume) {
        set_volume(screens::slider_fraction(*m_volume, event.x));
    } else if (widget == m_position) {
        seek_to(screens::slider_fraction(*m_position, event.x));
    } else if (widget && widget == m_wave.touch()) {
        seek_to(screens::slider_fraction(*widget, event.x));
    }
}

bool PlaybackScreen::on_key(const KeyEvent& event) {
    DocumentFace& document = context().document;
    if (screens::is_key_press(event, key::Space)) {
        if (document.is_playing() && !document.is_paused()) {
            pause();
        } else {
            play();
        }
        return true;
    }
    if (screens::is_leave_key(event)) {
        stop_and_close();
        return true;
    }
    if (screens::is_key_press(event, key::Left, true) || screens::is_key_press(event, key::Right, true)) {
        seek_by(event.code == key::Left ? -seek_step_seconds : seek_step_seconds);
        return true;
    }
    if (screens::is_key_press(event, key::Up, true) || screens::is_key_press(event, key::Down, true)) {
        set_volume(document.volume() + (event.code == key::Up ? volume_step : -volume_step));
        document.save_settings();
        return true;
    }
    return FormScreen::on_key(event);
}
