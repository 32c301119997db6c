#include "screens/about_dialog.h"

#include "screens/skin_lookups.h"
#include "skin/key_event.h"
#include "skin/properties.h"

namespace {

// Names, the same in every language: what the program links, as a user would look them up.
constexpr std::u16string_view kLibraries =
    u"LAME, libmad, libgsm, Tremor, libogg, libmpcdec, TagLib, SoundTouch, SDL 2, PulseAudio, SQLite, ICU, "
    u"FreeType, Fontconfig, libpng, GLib";

bool is_press(const KeyEvent& event, int32_t code) { return event.pressed && event.fresh && event.code == code; }

}  // namespace

AboutDialog::AboutDialog(ScreenContext& context) : FormScreen(context, std::u16string(skin_id::form_about)) {}

bool AboutDialog::is_in_skin(const Properties& skin) { return skin.find_element(skin_id::form_about).has_value(); }

std::u16string AboutDialog::version_text() { return std::u16string(u"Quillon Touch ") + QUILLON_VERSION_TEXT; }

std::u16string AboutDialog::body_text(const Properties& skin) {
    return skin.translate(u"About_what") + u"\n\n" + skin.translate(u"About_licence") + u": " + QUILLON_LICENCE_TEXT +
           u"\n\n" + skin.translate(u"About_libraries") + u": " + std::u16string(kLibraries);
}

void AboutDialog::attach_nodes() {
    node(skin_id::text).set_text(body_text(context().skin));
    if (Widget* version = optional_node(skin_id::version)) version->set_text(version_text());
    control(skin_id::btn_close);
}

void AboutDialog::open() {
    build();
    if (!is_shown()) show(true);
}

void AboutDialog::on_click(Widget*, const PointerEvent&) { close(); }

bool AboutDialog::on_key(const KeyEvent& event) {
    if (is_press(event, key::Enter) || is_press(event, key::Esc) || is_press(event, key::Backspace)) {
        close();
        return true;
    }
    return FormScreen::on_key(event);
}
