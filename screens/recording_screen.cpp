#include "screens/recording_screen.h"

#include <algorithm>
#include <cmath>

#include "document/document_face.h"
#include "os/file_system.h"
#include "os/path.h"
#include "screens/dialogs.h"
#include "screens/record_formats.h"
#include "screens/screen_values.h"
#include "screens/skin_lookups.h"
#include "skin/button_widget.h"
#include "skin/simple_widgets.h"

namespace {

constexpr std::u16string_view boost_menu = u"Boost";
constexpr std::u16string_view boost_off = u"BoostOff";
constexpr std::u16string_view boost_levels[] = {u"BoostOff", u"Boost1", u"Boost2", u"Boost3"};

// Bits per second of the file being written: the coded rate, or the PCM rate for a format
// without one.
double file_bit_rate(const RecordEntry& record) {
    if (record.bit_rate > 0) return record.bit_rate;
    return static_cast<double>(record.rate) * record.bits * std::max(1, record.channels);
}

// Seconds that `bytes` more of the file take; no storage problem shows a time past what the
// duration text can hold.
double seconds_for(double bytes, double bit_rate) {
    if (bit_rate <= 0 || !(bytes > 0)) return 0.0;
    return std::min(bytes * 8 / bit_rate, 1e12);
}

}  // namespace

RecordingScreen::RecordingScreen(ScreenContext& context, Menu& menu, RenameDialog& rename)
    : RecordScreen(context, std::u16string(skin_id::form_recording), menu, rename) {}

void RecordingScreen::attach_nodes() {
    attach_details();
    m_speaker = &node(skin_id::speaker);
    m_pause = &control(skin_id::btn_pause);
    m_resume = &control(skin_id::btn_resume);
    m_boost = &control(skin_id::btn_boost);
    m_boost_on = &node(skin_id::boost_on);
    m_speaker_on = &control(skin_id::btn_speaker_on);
    m_speaker_off = &control(skin_id::btn_speaker_off);
    m_vas = &control(skin_id::btn_vas);
    m_vas_bar = &node(skin_id::pb_vas);
    screens::keep_thumb(m_vas_bar);
    for (std::u16string_view id : skin_lookups::ids::recording_hidden) node(id).set_visible_now(false);
    m_waves.attach(optional_node(skin_id::wave), optional_node(skin_id::pb_vas_mark), optional_node(skin_id::frm_state),
                   optional_node(skin_id::state_dot), optional_node(skin_id::state_dot_idle));
}

void RecordingScreen::on_rebuilt() {
    refresh(false);
    m_name->set_text(m_title);
}

void RecordingScreen::refresh(bool show_title) {
    if (!m_elapsed) build();
    DocumentFace& document = context().document;
    const RecordEntry& record = document.current_record();
    m_path = record.path;
    if (auto* icon = dynamic_cast<ImageWidget*>(m_icon)) icon->set_picture(m_icons.picture_for(record.path));
    m_artist->set_text(record.artist);
    m_elapsed->set_text(screens::duration_text(0));
    m_info->set_text(screens::record_format_text(record));
    show_pause_state();
    show_boost();
    screens::show_value(m_vas_bar, document.vas_level());
    show_phone_state();
    if (show_title) {
        set_title(record.title);
        // A new recording (or an append) starts the live waveform afresh.
        m_waves.restart(document);
    }
    m_waves.show_threshold(document.vas_level());
    update_values();
    // The running values follow the recording while the screen is up.
    keep_values_live();
}

void RecordingScreen::update_values() {
    if (!m_elapsed) return;
    DocumentFace& document = context().document;
    const RecordEntry& record = document.current_record();
    const double bit_rate = file_bit_rate(record);
    // An Append shows the whole length, as the size beside it counts the whole file.
    const double earlier = document.is_appending() ? std::max(0.0, record.duration) : 0.0;
    m_elapsed->set_text(screens::duration_text(earlier + document.recorded_seconds()));
    const double free_bytes = os::root_free_space(os::folder_of(record.path));
    m_left->set_text(screens::duration_text(seconds_for(free_bytes, bit_rate)));
    // Paused, nothing is taken in: the meter rests at zero instead of keeping the last value.
    screens::show_value(m_level, document.is_recording() && !document.is_paused() ? document.input_level() : 0.0);
    uint64_t size = os::FileInfo(record.path).full_size;
    if (document.is_recording()) {
        // What the buffer still holds is PCM; it reaches the file at the file's own rate.
        const double pcm_rate = static_cast<double>(record.rate) * record.bits * std::max(1, record.channels);
        if (pcm_rate > 0) size += static_cast<uint64_t>(document.queued_bytes() * (bit_rate / pcm_rate));
    }
    m_size->set_text(screens::size_text(size));
    m_waves.update(document, [this](std::u16string_view key) { return text_of(key); });
}

void RecordingScreen::show_pause_state() {
    const bool paused = context().document.is_paused();
    m_pause->set_visible(!paused);
    m_resume->set_visible(paused);
}

void RecordingScreen::show_phone_state() {
    const DocumentFace& document = context().document;
    m_speaker->set_visible(document.is_talking());
    m_speaker_on->set_visible(!document.is_speaker_on());
    m_speaker_off->set_visible(document.is_speaker_on());
}

void RecordingScreen::show_boost() {
    m_boost->set_text(text_of(boost_menu));
    m_boost_on->set_visible(context().document.settings().boost != boost_off);
}

// ---- commands ---------------------------------------------------------------------------------

void RecordingScreen::stop_and_close() {
    DocumentFace& document = context().document;
    const std::u16string title = m_title;
    document.stop();
    // The title goes to the record this screen showed, not to whatever is current by now.
    if (!title.empty() && document.current_record().path == m_path) document.set_title(title);
    leave();
}

void RecordingScreen::set_paused(bool paused) {
    context().document.set_paused(paused);
    show_pause_state();
}

void RecordingScreen::set_speaker(bool on) {
    DocumentFace& document = context().document;
    document.set_speaker_choice(on);
    document.set_speakerphone(on);
    document.save_settings();
}

void RecordingScreen::drag_threshold(int32_t x) {
    const double fraction = screens::slider_fraction(*m_vas, x);
    screens::show_value(m_vas_bar, fraction);
    context().document.set_vas_level(fraction);
    m_waves.show_threshold(fraction);
}

void RecordingScreen::open_boost_menu() {
    m_menu.set_provider(this);
    m_menu.open(boost_menu, u"", true);
}

void RecordingScreen::rename_after_close(const std::u16string& title) {
    // The recording ended while the rename was open: the screen that would rename at its close
    // has gone, so the name changes now.
    DocumentFace& document = context().document;
    if (!document.is_recording() && document.current_record().path == m_path) document.set_title(title);
}

void RecordingScreen::fill(std::u16string_view command, std::vector<MenuItem>& items) {
    DocumentFace& document = context().document;
    if (command == boost_menu) {
        for (std::u16string_view level : boost_levels) {
            MenuItem item = screens::menu_item(level);
            item.checked = level != boost_off && document.settings().boost == level;
            items.push_back(std::move(item));
        }
        items.push_back(screens::menu_item(u"Cancel"));
        return;
    }
    for (std::u16string_view level : boost_levels) {
        if (command != level) continue;
        document.set_boost(level);
        document.save_settings();
        refresh(false);
        return;
    }
    // "Cancel" and anything else close the menu.
}

// ---- events -----------------------------------------------------------------------------------

void RecordingScreen::on_document_event(const DocumentEvent& event) {
    if (!m_elapsed) return;
    switch (event.code) {
        case DocumentEvent::PausedOrResumed:
            show_pause_state();
            break;
        case DocumentEvent::PhoneStateChanged:
            show_phone_state();
            break;
        case DocumentEvent::Stopped:
            if (is_shown()) leave();
            break;
        default:
            break;
    }
}

void RecordingScreen::on_click(Widget* widget, const PointerEvent&) {
    if (widget == m_close) {
        stop_and_close();
    } else if (widget == m_pause) {
        set_paused(true);
    } else if (widget == m_resume) {
        set_paused(false);
    } else if (widget == m_boost) {
        open_boost_menu();
    } else if (widget == m_speaker_on) {
        set_speaker(true);
    } else if (widget == m_speaker_off) {
        set_speaker(false);
    } else if (widget == m_name) {
        open_rename();
    }
}

void RecordingScreen::on_press_changed(Widget* widget, const PointerEvent&) {
    // The threshold is saved once the thumb is let go, not on every step of the drag.
    auto* thumb = dynamic_cast<ButtonWidget*>(widget);
    if (widget == m_vas && thumb && !thumb->is_pressed()) context().document.save_settings();
}

void RecordingScreen::on_drag(Widget* widget, const PointerEvent& event, Point) {
    if (widget == m_vas) drag_threshold(event.x);
}

bool RecordingScreen::on_key(const KeyEvent& event) {
    if (screens::is_key_press(event, key::Space)) {
        if (context().document.is_recording()) set_paused(!context().document.is_paused());
        return true;
    }
    if (screens::is_leave_key(event)) {
        stop_and_close();
        return true;
    }
    return FormScreen::on_key(event);
}
