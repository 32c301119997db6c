// The waveform kind on tiny surfaces: every pixel of a few columns checked by colour.
#include <gtest/gtest.h>

#include <string>

#include "skin/render_surface.h"
#include "skin/screen.h"
#include "skin/waveform_widget.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {

const char* kWaves = R"(
element Waves {
    child {
        string type waveform
        string id whole
        color color 10 20 30
        color played_color 200 0 0
        color cursor_color 255 255 255
        color threshold_color 0 255 0
        color background_color 0 0 64
        point column 2 1
    }
}
element Live {
    child {
        string type waveform
        string id live
        color played_color 200 0 0
        color threshold_color 0 255 0
        color background_color 0 0 64
        point column 1 1
        int scroll 1
    }
}
element Inset {
    child {
        string type waveform
        string id inset
        color color 10 20 30
        color background_color 0 0 64
        point column 1 1
        point inset_min 1 2
        point inset_max 2 1
    }
}
element Bare {
    child {
        string type waveform
        string id bare
    }
}
)";

constexpr Pixel kUnplayed = to_pixel(Color{10, 20, 30, 255});
constexpr Pixel kPlayed = to_pixel(Color{200, 0, 0, 255});
constexpr Pixel kCursor = to_pixel(Color{255, 255, 255, 255});
constexpr Pixel kThreshold = to_pixel(Color{0, 255, 0, 255});
constexpr Pixel kBack = to_pixel(Color{0, 0, 64, 255});

// The picture as rows of letters: '.' background, 'u' unplayed, 'p' played, 'c' cursor,
// 't' threshold, '?' anything else.
std::string picture_of(const RenderSurface& surface) {
    std::string out;
    const Bitmap& bitmap = *surface.bitmap();
    for (int32_t y = 0; y < bitmap.height(); ++y) {
        for (int32_t x = 0; x < bitmap.width(); ++x) {
            const Pixel p = bitmap.at(x, y);
            out += p == kBack        ? '.'
                   : p == kUnplayed  ? 'u'
                   : p == kPlayed    ? 'p'
                   : p == kCursor    ? 'c'
                   : p == kThreshold ? 't'
                                     : '?';
        }
        out += '\n';
    }
    return out;
}

struct Drawn {
    std::unique_ptr<Properties> properties;
    Screen screen;
    WaveformWidget* wave = nullptr;
    RenderSurface surface;
};

std::unique_ptr<Drawn> make(const char* element, const char16_t* id, int32_t width, int32_t height) {
    auto drawn = std::make_unique<Drawn>();
    drawn->properties = load(kWaves);
    EXPECT_TRUE(drawn->screen.bind(*drawn->properties,
                                   std::u16string(element, element + std::char_traits<char>::length(element))));
    drawn->wave = dynamic_cast<WaveformWidget*>(drawn->screen.find_child(id));
    lay_out(drawn->screen, width, height);
    drawn->surface.recreate(width, height);
    return drawn;
}

std::string draw(Drawn& drawn) {
    drawn.surface.fill({0, 0, drawn.surface.size().width, drawn.surface.size().height}, Color{1, 2, 3, 255});
    drawn.wave->draw(drawn.surface, drawn.wave->position());
    return picture_of(drawn.surface);
}

}  // namespace

TEST(WaveformWidget, BarsSpanTheirPeaksAboutTheMiddle) {
    auto drawn = make("Waves", u"whole", 9, 7);
    ASSERT_NE(drawn->wave, nullptr);
    // Three columns of 2 + 1 gap in 9 pixels (the last gap falls outside).
    EXPECT_EQ(drawn->wave->column_count(), 3);
    // Full scale reaches the top and bottom rows, half scale half way, silence a middle line.
    drawn->wave->set_peaks({{-127, 127}, {-42, 42}, {0, 0}});
    EXPECT_EQ(draw(*drawn),
              "uu.......\n"
              "uu.......\n"
              "uu.uu....\n"
              "uu.uu.uu.\n"
              "uu.uu....\n"
              "uu.......\n"
              "uu.......\n");
}

TEST(WaveformWidget, PlayedColumnsCursorAndThreshold) {
    auto drawn = make("Waves", u"whole", 9, 7);
    drawn->wave->set_peaks({{-127, 127}, {-127, 127}, {-127, 127}});
    // Half way: the centres of the first two columns (1 and 4) lie before 4.5, and the cursor
    // stands at x = 4.
    drawn->wave->set_position(0.5);
    EXPECT_EQ(draw(*drawn),
              "pp.pc.uu.\n"
              "pp.pc.uu.\n"
              "pp.pc.uu.\n"
              "pp.pc.uu.\n"
              "pp.pc.uu.\n"
              "pp.pc.uu.\n"
              "pp.pc.uu.\n");
    // Half the threshold lies two rows from the middle on either side, over the bars, under the cursor.
    drawn->wave->set_threshold(0.5);
    const std::string with_threshold = draw(*drawn);
    EXPECT_EQ(with_threshold.substr(10 * 1, 9), "ttttctttt");
    EXPECT_EQ(with_threshold.substr(10 * 5, 9), "ttttctttt");
    EXPECT_EQ(with_threshold.substr(10 * 3, 9), "pp.pc.uu.");
}

TEST(WaveformWidget, ManyPeaksFoldIntoColumnsAndMissingOnesStayEmpty) {
    auto drawn = make("Waves", u"whole", 9, 7);
    // Six pairs will exist, only the first three have arrived: column 0 covers pairs 0-1, column 1
    // pairs 2-3 (only 2 known), column 2 nothing yet.
    drawn->wave->set_peaks({{0, 0}, {-127, 127}, {-64, 0}}, 6);
    EXPECT_EQ(drawn->wave->column_span(1), (std::pair<size_t, size_t>{2, 4}));
    EXPECT_EQ(draw(*drawn),
              "uu.......\n"
              "uu.......\n"
              "uu.......\n"
              "uu.uu....\n"
              "uu.uu....\n"
              "uu.uu....\n"
              "uu.......\n");
    // Fewer pairs than columns: each stretches over several.
    drawn->wave->set_peaks({{-127, 127}});
    EXPECT_EQ(draw(*drawn).substr(0, 10), "uu.uu.uu.\n");
}

TEST(WaveformWidget, LiveViewPutsTheNewestPeakAtTheRightEdge) {
    auto drawn = make("Live", u"live", 6, 5);
    ASSERT_TRUE(drawn->wave->scrolls());
    EXPECT_EQ(drawn->wave->column_count(), 3);  // 1 + 1 gap: columns at 0, 2, 4
    const WavePeak first[] = {{-127, 127}};
    drawn->wave->append_peaks(first);
    EXPECT_EQ(draw(*drawn),
              "....p.\n"
              "....p.\n"
              "....p.\n"
              "....p.\n"
              "....p.\n");
    const WavePeak more[] = {{0, 0}, {0, 0}, {-127, 0}};
    drawn->wave->append_peaks(more);
    // The first pair has scrolled out on the left.
    EXPECT_EQ(draw(*drawn),
              "......\n"
              "......\n"
              "p.p.p.\n"
              "....p.\n"
              "....p.\n");
    drawn->wave->set_threshold(1.0);
    const std::string picture = draw(*drawn);
    EXPECT_EQ(picture.substr(0, 6), "tttttt");
    EXPECT_EQ(picture.substr(7 * 4, 6), "tttttt");
}

TEST(WaveformWidget, ASkinWithoutColoursDrawsWithDefaultsAndNoBackground) {
    auto drawn = make("Bare", u"bare", 4, 3);
    drawn->wave->set_peaks({{-127, 127}});
    drawn->surface.fill({0, 0, 4, 3}, Color{1, 2, 3, 255});
    drawn->wave->draw(drawn->surface, drawn->wave->position());
    // Nothing behind the bars is painted over; the bars take the default unplayed grey.
    EXPECT_EQ(drawn->surface.bitmap()->at(3, 1), to_pixel(Color{1, 2, 3, 255}));
    EXPECT_EQ(drawn->surface.bitmap()->at(0, 1), to_pixel(Color{0x5B, 0x62, 0x6C, 255}));
    // A surface too small for one bar draws nothing and does not fail.
    lay_out(drawn->screen, 1, 1);
    drawn->wave->draw(drawn->surface, drawn->wave->position());
}

TEST(WaveformWidget, OnlyVisibleChangesAskForAFrame) {
    auto drawn = make("Waves", u"whole", 9, 7);
    drawn->wave->set_peaks({{-127, 127}});
    drawn->surface.fill({0, 0, 9, 7}, Color{});
    drawn->wave->draw_at(drawn->surface, drawn->wave->position());
    EXPECT_FALSE(drawn->wave->needs_redraw());
    drawn->wave->set_position(0.5);
    drawn->wave->draw_at(drawn->surface, drawn->wave->position());
    // A step smaller than a pixel changes nothing on the screen.
    drawn->wave->set_position(0.5 + 0.01);
    EXPECT_FALSE(drawn->wave->needs_redraw());
    drawn->wave->set_position(0.9);
    EXPECT_TRUE(drawn->wave->needs_redraw());
}

TEST(WaveformWidget, InsetsKeepTheBarsOffTheEdgesWithoutAskingForRoom) {
    auto drawn = make("Inset", u"inset", 7, 6);
    // 7 - 1 - 2 = 4 pixels wide: bars at 1 and 3; 6 - 2 - 1 = 3 rows from y = 2.
    EXPECT_EQ(drawn->wave->column_count(), 2);
    drawn->wave->set_peaks({{-127, 127}, {0, 0}});
    EXPECT_EQ(draw(*drawn),
              ".......\n"
              ".......\n"
              ".u.....\n"
              ".u.u...\n"
              ".u.....\n"
              ".......\n");
    EXPECT_EQ(drawn->wave->measure_height().minimum, 0);
}
