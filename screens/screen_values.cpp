#include "screens/screen_values.h"

#include <algorithm>
#include <cmath>

#include "document/document_face.h"
#include "screens/record_formats.h"
#include "skin/progress_widget.h"
#include "skin/widget.h"

namespace screens {

void show_value(Widget* bar, double value) {
    if (auto* progress = dynamic_cast<ProgressWidget*>(bar)) progress->set_value(value);
}

void keep_thumb(Widget* bar) {
    if (auto* progress = dynamic_cast<ProgressWidget*>(bar)) progress->set_keeps_thumb(true);
}

double slider_fraction(const Widget& slider, int32_t x) {
    const int32_t width = slider.size().width;
    if (width <= 0) return 0.0;
    const double fraction = static_cast<double>(x - slider.position().x) / width;
    return std::isfinite(fraction) ? std::clamp(fraction, 0.0, 1.0) : 0.0;
}

std::u16string record_format_text(const RecordEntry& record) {
    return format_text(record.rate, record.bits, record.size_text == u"PCM" ? 0 : record.bit_rate);
}

MenuItem menu_item(std::u16string_view command, std::u16string_view node) {
    MenuItem item;
    item.command = std::u16string(command);
    item.node = std::u16string(node);
    return item;
}

bool is_key_press(const KeyEvent& event, int32_t code, bool repeats) {
    return event.pressed && (event.fresh || repeats) && event.code == code;
}

bool is_leave_key(const KeyEvent& event) {
    return is_key_press(event, key::Esc) || is_key_press(event, key::Backspace);
}

}  // namespace screens
