#pragma once
// What each screen looks up in the skin, in one place: the top-level element it binds to and the
// ids it finds under it, the row templates the lists instantiate, and the top-level elements it
// reads a single value from. The screens take their ids from here, and the skin tests check every
// entry against the shipped skins, so a skin that lacks one fails the build instead of a user's start.
#include <span>
#include <string_view>

namespace skin_lookups {

enum class SkinFile { Splash, Default };

// A top-level element bound to a widget tree: a screen, a dialog, a menu or a list row template.
struct BoundElement {
    SkinFile skin;
    std::u16string_view element;
    // Found with attach: a missing one throws NodeNotFound.
    std::span<const std::u16string_view> children;
    // Hidden by the screen when it is built; each shares its place with a child shown instead
    // (btnCloseFilter with btnFilter, btnResume with btnPause) or waits for its moment (the search
    // keyboard, the speaker picture while no call is connected).
    std::span<const std::u16string_view> hidden_at_start = {};
    // Buttons dragged across their width (a slider's touch surface): the bar beneath shows the value.
    std::span<const std::u16string_view> sliders = {};
    // Read for a property (a colour), never shown.
    std::span<const std::u16string_view> values = {};
};

// A top-level element read for one property.
struct ValueElement {
    std::u16string_view element;
    std::u16string_view property;
    enum class Kind { Picture, Color } kind;
};

// Every id the screens use, spelled once. The lists below are made of them; the screens name them
// as skin_id::btn_record and so on.
namespace id {
inline constexpr std::u16string_view btn_record = u"btnRecord";
inline constexpr std::u16string_view btn_filter = u"btnFilter";
inline constexpr std::u16string_view btn_close_filter = u"btnCloseFilter";
inline constexpr std::u16string_view btn_menu = u"btnMenu";
inline constexpr std::u16string_view list = u"list";
inline constexpr std::u16string_view keyboard_container = u"KeyboardContainer";
inline constexpr std::u16string_view button0 = u"button0";
inline constexpr std::u16string_view button1 = u"button1";
inline constexpr std::u16string_view button2 = u"button2";
inline constexpr std::u16string_view button3 = u"button3";
inline constexpr std::u16string_view button4 = u"button4";
inline constexpr std::u16string_view button5 = u"button5";
inline constexpr std::u16string_view button6 = u"button6";
inline constexpr std::u16string_view button7 = u"button7";
inline constexpr std::u16string_view button8 = u"button8";
inline constexpr std::u16string_view button9 = u"button9";
inline constexpr std::u16string_view button_hash = u"button_hash";
inline constexpr std::u16string_view button_backspace = u"button_backspace";
inline constexpr std::u16string_view icon = u"icon";
inline constexpr std::u16string_view artist = u"artist";
inline constexpr std::u16string_view name = u"name";
inline constexpr std::u16string_view speaker = u"speaker";
inline constexpr std::u16string_view frm_artist = u"frmArtist";
inline constexpr std::u16string_view frm_elapsed = u"frmElapsed";
inline constexpr std::u16string_view frm_left = u"frmLeft";
inline constexpr std::u16string_view frm_info = u"frmInfo";
inline constexpr std::u16string_view frm_size = u"frmSize";
inline constexpr std::u16string_view btn_name = u"btnName";
inline constexpr std::u16string_view btn_close = u"btnClose";
inline constexpr std::u16string_view btn_pause = u"btnPause";
inline constexpr std::u16string_view btn_resume = u"btnResume";
inline constexpr std::u16string_view btn_boost = u"btnBoost";
inline constexpr std::u16string_view boost_on = u"BoostOn";
inline constexpr std::u16string_view btn_speaker_on = u"btnSpeakerOn";
inline constexpr std::u16string_view btn_speaker_off = u"btnSpeakerOff";
inline constexpr std::u16string_view btn_vas = u"btnVAS";
inline constexpr std::u16string_view pb_level = u"pbLevel";
inline constexpr std::u16string_view pb_vas = u"pbVAS";
inline constexpr std::u16string_view btn_play = u"btnPlay";
inline constexpr std::u16string_view btn_volume = u"btnVolume";
inline constexpr std::u16string_view btn_position = u"btnPosition";
inline constexpr std::u16string_view pb_volume = u"pbVolume";
inline constexpr std::u16string_view pb_position = u"pbPosition";
inline constexpr std::u16string_view btn_wave = u"btnWave";
inline constexpr std::u16string_view panel = u"panel";
inline constexpr std::u16string_view caption = u"caption";
inline constexpr std::u16string_view vlist = u"vlist";
inline constexpr std::u16string_view row_text = u"#text";
inline constexpr std::u16string_view separator = u"separator";
inline constexpr std::u16string_view checked = u"checked";
inline constexpr std::u16string_view about = u"About";
inline constexpr std::u16string_view help = u"Help";
inline constexpr std::u16string_view minimize = u"Minimize";
inline constexpr std::u16string_view exit = u"Exit";
inline constexpr std::u16string_view text = u"text";
inline constexpr std::u16string_view btn_ok = u"btnOk";
inline constexpr std::u16string_view btn_cancel = u"btnCancel";
inline constexpr std::u16string_view edit = u"edit";
inline constexpr std::u16string_view version = u"version";
inline constexpr std::u16string_view icon_color = u"icon_color";
inline constexpr std::u16string_view unchecked = u"unchecked";
inline constexpr std::u16string_view form_splash = u"FormSplash";
inline constexpr std::u16string_view form_main = u"FormMain";
inline constexpr std::u16string_view record = u"Record";
inline constexpr std::u16string_view form_recording = u"FormRecording";
inline constexpr std::u16string_view form_view = u"FormView";
inline constexpr std::u16string_view menu = u"Menu";
inline constexpr std::u16string_view menu_element = u"MenuElement";
inline constexpr std::u16string_view menu_element_disabled = u"MenuElementDisabled";
inline constexpr std::u16string_view menu_element_red = u"MenuElementRed";
inline constexpr std::u16string_view menu_element_red_disabled = u"MenuElementRedDisabled";
inline constexpr std::u16string_view menu_element4_buttons = u"MenuElement4Buttons";
inline constexpr std::u16string_view form_confirmation = u"FormConfirmation";
inline constexpr std::u16string_view form_question = u"FormQuestion";
inline constexpr std::u16string_view form_error = u"FormError";
inline constexpr std::u16string_view form_edit = u"FormEdit";
inline constexpr std::u16string_view form_about = u"FormAbout";
inline constexpr std::u16string_view quick_record = u"QuickRecord";
inline constexpr std::u16string_view hardware_key = u"HardwareKey";
inline constexpr std::u16string_view main_memory = u"main_memory";
inline constexpr std::u16string_view main_memory_incoming = u"main_memory_incoming";
inline constexpr std::u16string_view main_memory_outgoing = u"main_memory_outgoing";
inline constexpr std::u16string_view card = u"card";
inline constexpr std::u16string_view card_incoming = u"card_incoming";
inline constexpr std::u16string_view card_outgoing = u"card_outgoing";
inline constexpr std::u16string_view filtered_color = u"filtered_color";
// Shown when the skin has them (a screen works without): not checked against the shipped skins.
inline constexpr std::u16string_view title = u"title";
inline constexpr std::u16string_view search_display = u"search_display";
inline constexpr std::u16string_view search_keys = u"search_keys";
inline constexpr std::u16string_view search_letters = u"search_letters";
inline constexpr std::u16string_view empty_list = u"empty_list";
inline constexpr std::u16string_view wave = u"wave";
inline constexpr std::u16string_view btn_speed = u"btnSpeed";
inline constexpr std::u16string_view btn_skip_silence = u"btnSkipSilence";
inline constexpr std::u16string_view skip_on = u"SkipOn";
inline constexpr std::u16string_view state_dot = u"stateDot";
inline constexpr std::u16string_view state_dot_idle = u"stateDotIdle";
inline constexpr std::u16string_view frm_state = u"frmState";
inline constexpr std::u16string_view runs = u"runs";
inline constexpr std::u16string_view pb_vas_mark = u"pbVASMark";
}  // namespace id

namespace ids {
inline constexpr std::u16string_view main_children[] = {
    id::btn_record, id::btn_filter, id::btn_close_filter, id::btn_menu, id::list,        id::keyboard_container,
    id::button0,    id::button1,    id::button2,          id::button3,  id::button4,     id::button5,
    id::button6,    id::button7,    id::button8,          id::button9,  id::button_hash, id::button_backspace};
inline constexpr std::u16string_view main_hidden[] = {id::btn_close_filter, id::keyboard_container};
inline constexpr std::u16string_view record_row[] = {id::icon, id::artist, id::name};
inline constexpr std::u16string_view recording_children[] = {
    id::icon,     id::speaker,        id::frm_artist,      id::frm_elapsed, id::frm_left,   id::frm_info,
    id::frm_size, id::btn_name,       id::btn_close,       id::btn_pause,   id::btn_resume, id::btn_boost,
    id::boost_on, id::btn_speaker_on, id::btn_speaker_off, id::btn_vas,     id::pb_level,   id::pb_vas};
inline constexpr std::u16string_view recording_hidden[] = {id::btn_resume, id::btn_speaker_off, id::speaker};
inline constexpr std::u16string_view recording_sliders[] = {id::btn_vas};
inline constexpr std::u16string_view view_children[] = {
    id::icon,         id::frm_artist, id::frm_elapsed, id::frm_left,   id::frm_info, id::frm_size,
    id::btn_close,    id::btn_play,   id::btn_pause,   id::btn_menu,   id::btn_name, id::btn_volume,
    id::btn_position, id::pb_level,   id::pb_volume,   id::pb_position};
inline constexpr std::u16string_view view_hidden[] = {id::btn_play};
inline constexpr std::u16string_view view_sliders[] = {id::btn_volume, id::btn_position, id::btn_wave};
inline constexpr std::u16string_view menu_children[] = {id::panel, id::caption, id::vlist};
inline constexpr std::u16string_view menu_row[] = {id::row_text, id::separator, id::checked};
inline constexpr std::u16string_view menu_four_buttons[] = {id::about, id::help, id::minimize, id::exit};
inline constexpr std::u16string_view confirmation_children[] = {id::text, id::btn_ok, id::btn_cancel};
inline constexpr std::u16string_view error_children[] = {id::text, id::btn_close};
inline constexpr std::u16string_view edit_children[] = {id::edit, id::btn_ok, id::btn_cancel};
inline constexpr std::u16string_view about_children[] = {id::text, id::btn_close, id::version};
inline constexpr std::u16string_view quick_record_children[] = {id::text, id::list, id::btn_ok, id::icon_color};
inline constexpr std::u16string_view quick_record_values[] = {id::icon_color};
inline constexpr std::u16string_view hardware_key_row[] = {id::name, id::icon, id::checked, id::unchecked};
}  // namespace ids

inline constexpr BoundElement bound_elements[] = {
    {SkinFile::Splash, id::form_splash, {}},
    {SkinFile::Default, id::form_main, ids::main_children, ids::main_hidden},
    {SkinFile::Default, id::record, ids::record_row},
    {SkinFile::Default, id::form_recording, ids::recording_children, ids::recording_hidden, ids::recording_sliders},
    {SkinFile::Default, id::form_view, ids::view_children, ids::view_hidden, ids::view_sliders},
    {SkinFile::Default, id::menu, ids::menu_children},
    {SkinFile::Default, id::menu_element, ids::menu_row},
    {SkinFile::Default, id::menu_element_disabled, ids::menu_row},
    {SkinFile::Default, id::menu_element_red, ids::menu_row},
    {SkinFile::Default, id::menu_element_red_disabled, ids::menu_row},
    {SkinFile::Default, id::menu_element4_buttons, ids::menu_four_buttons},
    {SkinFile::Default, id::form_confirmation, ids::confirmation_children},
    {SkinFile::Default, id::form_question, ids::confirmation_children},
    {SkinFile::Default, id::form_error, ids::error_children},
    {SkinFile::Default, id::form_edit, ids::edit_children},
    {SkinFile::Default, id::form_about, ids::about_children},
    {SkinFile::Default, id::quick_record, ids::quick_record_children, {}, {}, ids::quick_record_values},
    {SkinFile::Default, id::hardware_key, ids::hardware_key_row},
};

// Which of the bound elements are whole screens (laid out at the screen's size) rather than rows.
inline constexpr std::u16string_view screens[] = {
    id::form_splash, id::form_main, id::form_recording, id::form_view,  id::menu,         id::form_confirmation,
    id::form_error,  id::form_edit, id::quick_record,   id::form_about, id::form_question};

inline constexpr ValueElement value_elements[] = {
    {id::main_memory, u"src", ValueElement::Kind::Picture},
    {id::main_memory_incoming, u"src", ValueElement::Kind::Picture},
    {id::main_memory_outgoing, u"src", ValueElement::Kind::Picture},
    {id::card, u"src", ValueElement::Kind::Picture},
    {id::card_incoming, u"src", ValueElement::Kind::Picture},
    {id::card_outgoing, u"src", ValueElement::Kind::Picture},
    {id::filtered_color, u"color", ValueElement::Kind::Color},
};

}  // namespace skin_lookups

// The short name the screens use for the ids.
namespace skin_id = skin_lookups::id;
