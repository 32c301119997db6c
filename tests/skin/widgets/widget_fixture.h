#pragma once
// Shared by the widget tests: the standard widget kinds in the global registry, skins compiled from
// source text, a screen bound to one of their elements, and a sink that records what widgets report.
#include <memory>
#include <string>
#include <vector>

#include "skin/properties.h"
#include "skin/screen.h"

namespace widget_test {

void ensure_standard_widgets();

// A skin compiled from `source` (pictures under `picture_folder`), loaded for a 96-dpi screen.
std::unique_ptr<Properties> load(const std::string& source, const std::string& picture_folder = "");

struct Recorded {
    std::string what;  // "click", "press", "drag", "text"
    Widget* widget;
    PointerEvent event;
    Point delta;
};

class TestScreen : public Screen {
public:
    std::vector<Recorded> events;
    void on_click(Widget* widget, const PointerEvent& event) override {
        events.push_back({"click", widget, event, {}});
    }
    void on_press_changed(Widget* widget, const PointerEvent& event) override {
        events.push_back({"press", widget, event, {}});
    }
    void on_drag(Widget* widget, const PointerEvent& event, Point delta) override {
        events.push_back({"drag", widget, event, delta});
    }
    void on_text_changed(Widget* widget) override { events.push_back({"text", widget, {}, {}}); }
    int count(const std::string& what) const;
};

void lay_out(Widget& widget, int32_t width, int32_t height);
PointerEvent press(int32_t x, int32_t y);
PointerEvent release(int32_t x, int32_t y);
KeyEvent key_down(int32_t code);
KeyEvent key_up(int32_t code);
// The centre of a widget in screen pixels.
Point centre(const Widget& widget);

}  // namespace widget_test
