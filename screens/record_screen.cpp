#include "screens/record_screen.h"

#include "screens/dialogs.h"
#include "screens/screen_values.h"
#include "screens/skin_lookups.h"

RecordScreen::RecordScreen(ScreenContext& context, std::u16string element, Menu& menu, RenameDialog& rename)
    : FormScreen(context, std::move(element)), m_menu(menu), m_rename(rename) {
    context.document.add_observer(this);
}

RecordScreen::~RecordScreen() {
    context().document.remove_observer(this);
    if (m_menu.provider() == this) m_menu.set_provider(nullptr);
}

void RecordScreen::attach_details() {
    m_icon = &node(skin_id::icon);
    m_artist = &node(skin_id::frm_artist);
    m_elapsed = &node(skin_id::frm_elapsed);
    m_left = &node(skin_id::frm_left);
    m_info = &node(skin_id::frm_info);
    m_size = &node(skin_id::frm_size);
    m_level = &node(skin_id::pb_level);
    m_name = &control(skin_id::btn_name);
    m_close = &control(skin_id::btn_close);
    m_icons.load(context().skin);
}

void RecordScreen::set_title(std::u16string title) {
    m_title = std::move(title);
    m_name->set_text(m_title);
}

void RecordScreen::open_rename() {
    // A record without a title is renamed from the name it shows.
    m_rename.open(m_title.empty() ? m_name->text() : m_title, [this](const std::u16string& text) {
        set_title(text);
        if (!is_shown()) rename_after_close(text);
    });
}

void RecordScreen::tick(double elapsed_seconds) {
    update_values();
    FormScreen::tick(elapsed_seconds);
}

void RecordScreen::keep_values_live() { m_live.after(screens::live_values_seconds); }

void RecordScreen::on_timer(Timer&) {
    if (!is_shown()) return;
    update_values();
    // At rest (paused or ended) nothing moves, so nothing needs reading.
    if (values_move()) keep_values_live();
}

void RecordScreen::leave() {
    if (!m_filling && m_menu.provider() == this && m_menu.is_shown()) m_menu.close();
    close();
}
