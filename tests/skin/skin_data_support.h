#pragma once
// Helpers for the tests of the shipped skins: loading them from the build's program folder, widget
// kinds that draw the main keys of every element kind (until the full widgets exist, a kind the
// framework has not registered gets one of these), binding an element the way its screen does,
// and a walk over the element tree that knows each element's ancestors and earlier siblings.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "screens/skin_lookups.h"
#include "skin/display_info.h"
#include "skin/properties.h"
#include "skin/widget.h"

namespace skin_data {

std::string installed_skin_path(skin_lookups::SkinFile skin);
bool load_installed(Properties& properties, skin_lookups::SkinFile skin, const DisplayInfo& display);

// Registers a drawing kind for each of the fourteen type keywords that has no factory yet.
void ensure_widget_kinds();

// A fresh widget bound to the top-level element (throws the skin exceptions as a screen would),
// with the children the screen hides at start hidden.
std::unique_ptr<Widget> bind_as_screen(const Properties& properties, const skin_lookups::BoundElement& lookups);

// Gives a drawn text widget its text, and a drawn progress bar its value (0..1); the layout must be
// current. Both return false for a widget of another kind.
bool set_sample_text(Widget& widget, std::u16string_view text);
bool set_sample_value(Widget& progress, double value);
// Gives a drawn image another picture, as a screen sets a row's icon.
bool set_sample_picture(Widget& image, const PictureRef& picture);
// The line height of a drawn text widget's font and the width a text takes in it; none for a
// widget of another kind.
std::optional<int32_t> text_line_height(Widget& widget);
std::optional<int32_t> text_width(Widget& widget, std::u16string_view text);
// A drawn text widget's current text, and the height its lines take at its current width (one
// line without "wrap"); none for a widget of another kind.
std::optional<std::u16string> own_text(Widget& widget);
std::optional<int32_t> text_height_needed(Widget& widget);
// Shows the given look ("#normal", "#pressed", "#disabled") of a button, hiding the others.
void show_look(Widget& button, std::u16string_view look);

// One element of a skin with its context, for checks that run over the whole tree.
struct ElementInTree {
    SkinElement element;
    std::u16string top_level;            // the id of the top-level element it belongs to
    std::vector<SkinElement> ancestors;  // nearest first
    std::vector<SkinElement> before;     // earlier siblings, nearest first
    std::u16string type;
    std::u16string id;
};
void walk_skin(const Properties& properties, const std::function<void(const ElementInTree&)>& visit);

}  // namespace skin_data
