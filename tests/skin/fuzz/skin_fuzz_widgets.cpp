#include "tests/skin/fuzz/skin_fuzz_widgets.h"

#include "skin/render_surface.h"
#include "skin/skin_exceptions.h"
#include "skin/widget.h"

void lay_out_and_draw(const Properties& properties, std::u16string_view id, int32_t width, int32_t height) {
    Widget screen;
    try {
        if (!screen.bind(properties, id)) return;
        RenderSurface surface(width, height);
        for (int turn = 0; turn < 2; ++turn) {
            const bool rotated = turn == 1;
            screen.set_x(0, rotated ? height : width);
            screen.set_y(0, rotated ? width : height);
            screen.draw(surface, {0, 0});
        }
    } catch (const SkinException&) {
        // A skin may name kinds or children that do not exist; the program reports those.
    }
}
