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

namespace ids {
inline constexpr std::u16string_view main_children[] = {
    u"btnRecord", u"btnFilter", u"btnCloseFilter", u"btnMenu", u"list",        u"KeyboardContainer",
    u"button0",   u"button1",   u"button2",        u"button3", u"button4",     u"button5",
    u"button6",   u"button7",   u"button8",        u"button9", u"button_hash", u"button_backspace"};
inline constexpr std::u16string_view main_hidden[] = {u"btnCloseFilter", u"KeyboardContainer"};
inline constexpr std::u16string_view record_row[] = {u"icon", u"artist", u"name"};
inline constexpr std::u16string_view recording_children[] = {
    u"icon",    u"speaker",      u"frmArtist",     u"frmElapsed", u"frmLeft",   u"frmInfo",
    u"frmSize", u"btnName",      u"btnClose",      u"btnPause",   u"btnResume", u"btnBoost",
    u"BoostOn", u"btnSpeakerOn", u"btnSpeakerOff", u"btnVAS",     u"pbLevel",   u"pbVAS"};
inline constexpr std::u16string_view recording_hidden[] = {u"btnResume", u"btnSpeakerOff", u"speaker"};
inline constexpr std::u16string_view recording_sliders[] = {u"btnVAS"};
inline constexpr std::u16string_view view_children[] = {
    u"icon",     u"frmArtist", u"frmElapsed", u"frmLeft",   u"frmInfo",     u"frmSize", u"btnClose", u"btnPlay",
    u"btnPause", u"btnMenu",   u"btnName",    u"btnVolume", u"btnPosition", u"pbLevel", u"pbVolume", u"pbPosition"};
inline constexpr std::u16string_view view_hidden[] = {u"btnPlay"};
inline constexpr std::u16string_view view_sliders[] = {u"btnVolume", u"btnPosition", u"btnWave"};
inline constexpr std::u16string_view menu_children[] = {u"panel", u"caption", u"vlist"};
inline constexpr std::u16string_view menu_row[] = {u"#text", u"separator", u"checked"};
inline constexpr std::u16string_view menu_four_buttons[] = {u"About", u"Help", u"Minimize", u"Exit"};
inline constexpr std::u16string_view confirmation_children[] = {u"text", u"btnOk", u"btnCancel"};
inline constexpr std::u16string_view error_children[] = {u"text", u"btnClose"};
inline constexpr std::u16string_view edit_children[] = {u"edit", u"btnOk", u"btnCancel"};
inline constexpr std::u16string_view about_children[] = {u"text", u"btnClose", u"version"};
inline constexpr std::u16string_view quick_record_children[] = {u"text", u"list", u"btnOk", u"icon_color"};
inline constexpr std::u16string_view quick_record_values[] = {u"icon_color"};
inline constexpr std::u16string_view hardware_key_row[] = {u"name", u"icon", u"checked", u"unchecked"};
}  // namespace ids

inline constexpr BoundElement bound_elements[] = {
    {SkinFile::Splash, u"FormSplash", {}},
    {SkinFile::Default, u"FormMain", ids::main_children, ids::main_hidden},
    {SkinFile::Default, u"Record", ids::record_row},
    {SkinFile::Default, u"FormRecording", ids::recording_children, ids::recording_hidden, ids::recording_sliders},
    {SkinFile::Default, u"FormView", ids::view_children, ids::view_hidden, ids::view_sliders},
    {SkinFile::Default, u"Menu", ids::menu_children},
    {SkinFile::Default, u"MenuElement", ids::menu_row},
    {SkinFile::Default, u"MenuElementDisabled", ids::menu_row},
    {SkinFile::Default, u"MenuElementRed", ids::menu_row},
    {SkinFile::Default, u"MenuElementRedDisabled", ids::menu_row},
    {SkinFile::Default, u"MenuElement4Buttons", ids::menu_four_buttons},
    {SkinFile::Default, u"FormConfirmation", ids::confirmation_children},
    {SkinFile::Default, u"FormQuestion", ids::confirmation_children},
    {SkinFile::Default, u"FormError", ids::error_children},
    {SkinFile::Default, u"FormEdit", ids::edit_children},
    {SkinFile::Default, u"FormAbout", ids::about_children},
    {SkinFile::Default, u"QuickRecord", ids::quick_record_children, {}, {}, ids::quick_record_values},
    {SkinFile::Default, u"HardwareKey", ids::hardware_key_row},
};

// Which of the bound elements are whole screens (laid out at the screen's size) rather than rows.
inline constexpr std::u16string_view screens[] = {u"FormSplash", u"FormMain", u"FormRecording",
                                                  u"FormView",   u"Menu",     u"FormConfirmation",
                                                  u"FormError",  u"FormEdit", u"QuickRecord",
                                                  u"FormAbout",  u"FormQuestion"};

inline constexpr ValueElement value_elements[] = {
    {u"main_memory", u"src", ValueElement::Kind::Picture},
    {u"main_memory_incoming", u"src", ValueElement::Kind::Picture},
    {u"main_memory_outgoing", u"src", ValueElement::Kind::Picture},
    {u"card", u"src", ValueElement::Kind::Picture},
    {u"card_incoming", u"src", ValueElement::Kind::Picture},
    {u"card_outgoing", u"src", ValueElement::Kind::Picture},
    {u"filtered_color", u"color", ValueElement::Kind::Color},
};

}  // namespace skin_lookups
