#include "tests/screens/screen_fixture.h"

#include <stdlib.h>

#include "os/text.h"
#include "skin/display_info.h"
#include "skin/widget.h"

namespace screen_test {

void ScreenFixture::SetUp() {
    DocumentFixture::SetUp();
    set_up(*document);
}

void ScreenFixture::TearDown() {
    tear_down();
    DocumentFixture::TearDown();
}

void FakeScreenFixture::SetUp() {
    ::setenv("QUILLON_APP_DIR", QUILLON_BIN_DIR, 1);
    set_up(fake);
}

void FakeScreenFixture::TearDown() { tear_down(); }

void ScreenParts::set_up(DocumentFace& document) {
    const DisplayInfo display{screen_size.width, screen_size.height, 96, 0};
    ASSERT_TRUE(skin.load_skin(os::from_utf8(std::string(QUILLON_BIN_DIR) + "/skins/bin/default.skin"), display));
    ASSERT_TRUE(language.load(u"%app_path%/english.lng"));
    skin.set_language_table(language.table());
    m_frame.recreate(screen_size.width, screen_size.height);
    context = std::make_unique<ScreenContext>(ScreenContext{skin, language, stack, document, host});
}

void ScreenParts::tear_down() { context.reset(); }

void ScreenParts::frame() {
    // Enough frames for a transition or a dimming to finish.
    for (int i = 0; i < 40 && (i == 0 || stack.needs_frame()); ++i) {
        stack.tick(0.05);
        stack.compose(m_frame);
    }
}

Point ScreenParts::screen_position(const Widget& widget) {
    // Widgets are placed in screen coordinates.
    return widget.position();
}

void ScreenParts::tap(const Widget& widget) {
    frame();
    const Point at = screen_position(widget);
    const int32_t x = at.x + widget.size().width / 2;
    const int32_t y = at.y + widget.size().height / 2;
    stack.on_pointer_down(x, y);
    stack.on_pointer_up(x, y, false);
    frame();
}

void ScreenParts::press_key(int32_t code) {
    stack.on_key(KeyEvent{code, true, true});
    stack.on_key(KeyEvent{code, false, true});
}

}  // namespace screen_test
