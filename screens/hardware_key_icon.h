#pragma once
// The pictures of the quick-record screen's rows: the platform names a button's icon (an icon name
// or a file with an index) but gives no pixels this program can draw, so each row shows a small
// sign of our own on the skin's icon background: a record disc for a record key, a keyboard for any
// other button.
#include <string_view>

#include "skin/color.h"
#include "skin/geometry.h"
#include "skin/picture_ref.h"

namespace screens {

enum class HardwareKeySign { Record, Key };

// Which sign a platform icon name stands for.
HardwareKeySign hardware_key_sign(std::u16string_view icon);

// The sign drawn on `background` at `size` pixels; invalid for an empty size.
PictureRef make_hardware_key_icon(HardwareKeySign sign, Color background, Size size);

}  // namespace screens
