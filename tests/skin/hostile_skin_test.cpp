// Skins that ask for more than a screen: ratios and design sizes far past any display, text boxes
// larger than memory, and skins named relative to the current folder.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "skin/draw_text.h"
#include "skin/font_rep.h"
#include "skin/render_surface.h"
#include "skin/table_widget.h"
#include "skin/widget.h"
#include "tests/skin/skin_test_support.h"

namespace {

namespace fs = std::filesystem;

std::unique_ptr<Widget> sized(Point design, int32_t ratio = 0) {
    auto widget = std::make_unique<Widget>();
    widget->set_design_size(design);
    widget->set_table_ratio(ratio);
    return widget;
}

bool on_a_screen(const Widget& widget) {
    const Size size = widget.size();
    const Point at = widget.position();
    return size.width >= 0 && size.width <= kMaxScreenLength && size.height >= 0 && size.height <= kMaxScreenLength &&
           at.x >= -kMaxScreenPosition && at.x <= kMaxScreenPosition && at.y >= -kMaxScreenPosition &&
           at.y <= kMaxScreenPosition;
}

TEST(HostileSkin, LayoutStaysWithinWhatAScreenShows) {
    // A ratio of a million asks for a million times the spare length.
    HTableWidget table;
    Widget* greedy = table.add_child(sized({10, 10}, 1000000));
    Widget* modest = table.add_child(sized({10, 10}, 1));
    table.set_x(0, 240);
    table.set_y(0, 320);
    EXPECT_TRUE(on_a_screen(*greedy));
    EXPECT_TRUE(on_a_screen(*modest));
    EXPECT_GE(greedy->size().width, 10);

    // Design sizes past any screen, in a column whose sum would overflow 32 bits.
    VTableWidget column;
    std::vector<Widget*> tall;
    for (int i = 0; i < 300; ++i) {
        auto child = sized({32000, 32000});
        child->set_anchors(AnchorType::MinSideNoSize, AnchorType::MinSideNoSize);
        child->set_borders({-32768, 32767}, {32767, -32768});
        tall.push_back(column.add_child(std::move(child)));
    }
    const MeasuredPair measured = column.measure_height();
    EXPECT_GE(measured.preferred, 0);
    EXPECT_LE(measured.preferred, kMaxScreenLength);
    EXPECT_LE(measured.minimum, measured.preferred);
    column.set_x(0, 240);
    column.set_y(0, 320);
    for (Widget* child : tall) ASSERT_TRUE(on_a_screen(*child));

    // A cached widget of the largest size draws through a cache no larger than that.
    Widget screen;
    Widget* cached = screen.add_child(sized({32000, 32000}));
    cached->set_anchors(AnchorType::MinSideNoSize, AnchorType::MinSideNoSize);
    cached->set_cache(true);
    screen.set_x(0, 240);
    screen.set_y(0, 320);
    RenderSurface surface(240, 320);
    screen.draw(surface, {0, 0});
    EXPECT_LE(cached->cache_surface().size().width, kMaxScreenLength);
    EXPECT_LE(cached->cache_surface().size().height, kMaxScreenLength);
}

// The text's scratch holds only the part of the box on the surface, and the text lands where a
// box wholly on a larger surface puts it.
TEST(HostileSkin, ATextBoxLargerThanTheScreenCostsNoMoreThanTheScreen) {
    FontRep font(FontSpec{});
    const Color white{255, 255, 255, 255};
    RenderSurface small(240, 320);
    const int64_t before = RenderSurface::pixel_count();
    draw_text(small, font, white, u"Hello, world", {-30000, -30000, 200, 60}, HAlign::Right, VAlign::Bottom, false);
    EXPECT_LE(RenderSurface::pixel_count() - before, 240 * 320);

    RenderSurface large(1200, 1100);
    draw_text(large, font, white, u"Hello, world", {0, 0, 1200, 1100}, HAlign::Right, VAlign::Bottom, false);
    int lit = 0;
    for (int32_t y = 0; y < 320; ++y) {
        for (int32_t x = 0; x < 240; ++x) {
            const Pixel expected = x < 200 && y < 60 ? large.bitmap()->at(x + 1000, y + 1040) : Pixel{0};
            ASSERT_EQ(small.bitmap()->at(x, y), expected) << x << "," << y;
            lit += expected != 0;
        }
    }
    EXPECT_GT(lit, 0);
}

// Runs a program of the build in `folder`; its exit status, -1 when it did not exit.
int run_in(const std::string& folder, const std::string& program, const std::vector<std::string>& words) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        if (::chdir(folder.c_str()) != 0) ::_exit(126);
        const std::string path = std::string(QUILLON_BIN_DIR) + "/" + program;
        std::vector<char*> argv{const_cast<char*>(path.c_str())};
        for (const std::string& word : words) argv.push_back(const_cast<char*>(word.c_str()));
        argv.push_back(nullptr);
        ::execv(path.c_str(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(HostileSkin, ToolsFindPicturesBesideARelativeSkinAndSurviveHostileSizes) {
    const std::string folder = skin_test::temp_folder() + "/hostile";
    fs::create_directories(folder + "/skin");
    skin_test::write_file(folder + "/skin/tile.bmp", skin_test::make_bmp(2, 2, {0xF800, 0x07E0, 0x001F, 0xFFFF}));
    const std::string source = R"(
element FormRatio {
    string id FormRatio
    child {
        string type htable
        child {
            string type node
            point design_size 10 10
            int table_ratio 1000000
            int cache 1
        }
        child {
            string type node
            point design_size 10 10
            int table_ratio 1
        }
    }
}
element FormBigText {
    string id FormBigText
    child {
        string type text
        string anchor_x MIN_SIDE_NO_SIZE
        string anchor_y MIN_SIDE_NO_SIZE
        point design_size 32000 32000
        string text "Hello"
        font font 10 0 0 0 DejaVu Sans
    }
    child {
        string type image
        picture src tile
    }
}
)";
    skin_test::write_file(folder + "/skin/hostile.src", std::vector<uint8_t>(source.begin(), source.end()));

    // Compiled and rendered from inside the skin's folder, with bare file names.
    const std::string skin = folder + "/skin";
    ASSERT_EQ(run_in(skin, "quillon-skinc", {"hostile.src", "hostile.skin"}), 0);
    EXPECT_EQ(run_in(skin, "quillon-tool", {"render", "hostile.skin", "FormBigText", "--size", "240x320", "a.png"}), 0);
    EXPECT_EQ(run_in(skin, "quillon-tool", {"render", "hostile.skin", "FormRatio", "--size", "240x320", "b.png"}), 0);
    // From the folder above, into a folder of its own, and rendered from there at double density.
    ASSERT_EQ(run_in(folder, "quillon-skinc", {"skin/hostile.src", "bin/hostile.skin"}), 0);
    EXPECT_TRUE(fs::exists(folder + "/bin/tile.bmp"));
    EXPECT_EQ(run_in(folder + "/bin", "quillon-tool",
                     {"render", "hostile.skin", "FormBigText", "--size", "480x640", "--dpi", "192", "c.png"}),
              0);
    EXPECT_EQ(run_in(folder, "quillon-tool", {"render", "bin/hostile.skin", "FormRatio", "--size", "240x320", "d.png"}),
              0);
    for (const char* png : {"skin/a.png", "skin/b.png", "bin/c.png", "d.png"})
        EXPECT_TRUE(fs::exists(folder + "/" + png));

    // None of them needed more than a screen's worth of memory (the text once took gigabytes).
    rusage usage{};
    ::getrusage(RUSAGE_CHILDREN, &usage);
    EXPECT_LT(usage.ru_maxrss, 400 * 1024) << "kilobytes";
}

}  // namespace
