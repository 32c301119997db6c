#include "tests/skin/widgets/widget_fixture.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "os/text.h"
#include "skin/widget_kinds.h"
#include "skin/widget_registry.h"
#include "tests/skin/skin_test_support.h"

namespace widget_test {

void ensure_standard_widgets() {
    WidgetRegistry& registry = WidgetRegistry::global();
    if (!registry.contains(u"node")) register_standard_widgets(registry);
}

std::unique_ptr<Properties> load(const std::string& source, const std::string& picture_folder) {
    ensure_standard_widgets();
    auto properties = std::make_unique<Properties>();
    // Pictures are looked up beside the skin.
    const std::string path = picture_folder + "/x.skin";
    const bool loaded = properties->load_skin_bytes(skin_test::compile(source, picture_folder), os::from_utf8(path),
                                                    DisplayInfo{240, 320, 96, 0});
    EXPECT_TRUE(loaded);
    return properties;
}

int TestScreen::count(const std::string& what) const {
    return static_cast<int>(
        std::count_if(events.begin(), events.end(), [&](const Recorded& r) { return r.what == what; }));
}

void lay_out(Widget& widget, int32_t width, int32_t height) {
    widget.set_x(0, width);
    widget.set_y(0, height);
}

PointerEvent press(int32_t x, int32_t y) {
    PointerEvent event;
    event.x = x;
    event.y = y;
    event.down = true;
    return event;
}

PointerEvent release(int32_t x, int32_t y) {
    PointerEvent event;
    event.x = x;
    event.y = y;
    return event;
}

KeyEvent key_down(int32_t code) { return KeyEvent{code, true, true}; }
KeyEvent key_up(int32_t code) { return KeyEvent{code, false, true}; }

Point centre(const Widget& widget) {
    return {widget.position().x + widget.size().width / 2, widget.position().y + widget.size().height / 2};
}

}  // namespace widget_test
