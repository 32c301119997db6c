// quillon-tool render SKIN ELEMENT --size WxH [--dpi N] OUT.png: lays a skin element out at a
// screen size and draws it into a PNG, so a skin can be looked at without a window.
// The element is built from the standard widget kinds, as the program builds its screens.
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "lang/language.h"
#include "os/text.h"
#include "skin/png_writer.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/widget.h"
#include "tools/quillon-tool/command.h"

namespace {
int run_render(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    int width = 0, height = 0, dpi = 96;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &width, &height) != 2) return fail("--size takes WxH");
        } else if (args[i] == "--dpi" && i + 1 < args.size()) {
            dpi = std::atoi(args[++i].c_str());
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3 || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return fail("usage: quillon-tool render SKIN ELEMENT --size WxH [--dpi N] OUT.png");
    }
    Properties properties;
    if (!properties.load_skin(os::from_utf8(positional[0]), DisplayInfo{width, height, dpi, 0})) {
        return fail(positional[0] + ": the skin could not be loaded");
    }
    // Texts given as language keys show as the user reads them, in the language the program would
    // start with; without any language file the keys themselves show.
    Language language;
    if (language.load_startup_language()) properties.set_language_table(language.table());
    Widget screen;
    try {
        if (!screen.bind(properties, os::from_utf8(positional[1]))) {
            return fail("no element " + positional[1] + " in " + positional[0]);
        }
    } catch (const std::exception& e) {
        return fail(e.what());
    }
    screen.set_x(0, width);
    screen.set_y(0, height);
    RenderSurface surface(width, height);
    surface.fill({0, 0, width, height}, Color{0, 0, 0, 255});
    screen.draw(surface, {0, 0});
    if (!save_png(*surface.bitmap(), positional[2])) return fail(positional[2] + ": cannot be written");
    return 0;
}

const ToolCommand command{"render", "SKIN ELEMENT --size WxH [--dpi N] OUT.png",
                          "lay out a skin element at a screen size and draw it into a PNG", &run_render};
}  // namespace
