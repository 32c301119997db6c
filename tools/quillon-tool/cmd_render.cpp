// quillon-tool render SKIN ELEMENT --size WxH [--dpi N] OUT.png: lays a skin element out at a
// screen size and draws it into a PNG, so a skin can be looked at without a window.
// The element is built from the standard widget kinds, as the program builds its screens.
// --sample-waves gives every waveform the shape of some speech, played up to 40 %.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "lang/language.h"
#include "os/text.h"
#include "skin/png_writer.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/waveform_widget.h"
#include "skin/widget.h"
#include "tools/quillon-tool/command.h"

namespace {
// Bursts of syllables with pauses between words, the same on every run.
std::vector<WavePeak> sample_speech(size_t count) {
    std::vector<WavePeak> out;
    for (size_t i = 0; i < count; ++i) {
        const double word = std::sin(i * 0.21) > -0.3 ? 1.0 : 0.08;
        const double syllable = 0.35 + 0.65 * std::fabs(std::sin(i * 1.7) * std::cos(i * 0.37));
        const auto high = static_cast<int>(120 * word * syllable);
        out.push_back(
            {static_cast<int8_t>(-high * (0.8 + 0.2 * std::fabs(std::cos(i * 2.3)))), static_cast<int8_t>(high)});
    }
    return out;
}

void fill_sample_waves(Widget& widget) {
    if (auto* wave = dynamic_cast<WaveformWidget*>(&widget)) {
        const std::vector<WavePeak> peaks = sample_speech(300);
        if (wave->scrolls()) {
            wave->append_peaks(peaks);
            wave->set_threshold(0.25);
        } else {
            wave->set_peaks(peaks);
            wave->set_position(0.4);
        }
    }
    for (const auto& child : widget.children()) fill_sample_waves(*child);
}

int run_render(const std::vector<std::string>& args) {
    std::vector<std::string> positional;
    int width = 0, height = 0, dpi = 96;
    bool sample_waves = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--size" && i + 1 < args.size()) {
            if (std::sscanf(args[++i].c_str(), "%dx%d", &width, &height) != 2) return fail("--size takes WxH");
        } else if (args[i] == "--sample-waves") {
            sample_waves = true;
        } else if (args[i] == "--dpi" && i + 1 < args.size()) {
            dpi = std::atoi(args[++i].c_str());
        } else {
            positional.push_back(args[i]);
        }
    }
    if (positional.size() != 3 || width <= 0 || height <= 0 || width > 8192 || height > 8192) {
        return fail("usage: quillon-tool render SKIN ELEMENT --size WxH [--dpi N] [--sample-waves] OUT.png");
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
    if (sample_waves) fill_sample_waves(screen);
    RenderSurface surface(width, height);
    surface.fill({0, 0, width, height}, Color{0, 0, 0, 255});
    screen.draw(surface, {0, 0});
    if (!save_png(*surface.bitmap(), positional[2])) return fail(positional[2] + ": cannot be written");
    return 0;
}

const ToolCommand command{"render", "SKIN ELEMENT --size WxH [--dpi N] [--sample-waves] OUT.png",
                          "lay out a skin element at a screen size and draw it into a PNG", &run_render};
}  // namespace
