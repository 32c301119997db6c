// Every skin of the kept fuzz corpus, built into screens of the real widget kinds, put on the
// screen stack, fed input, ticked and composed: no crash, no hang, memory within bounds.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "skin/screen_manager.h"
#include "skin/skin_exceptions.h"
#include "skin/vlist_widget.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
// Lists get rows from their own skin's first element, so corpus rows are hostile too.
struct CorpusRows : VListAdapter {
    const Properties* properties = nullptr;
    std::u16string row_id;
    void build_row(Widget& row, int32_t) override {
        try {
            row.bind(*properties, row_id);
        } catch (const SkinException&) {
        }
    }
    void bind_row(Widget& row, int32_t index) override { row.set_text(index % 2 ? u"odd" : u"even"); }
};

void give_rows(Widget& widget, CorpusRows& rows) {
    if (auto* list = dynamic_cast<VListWidget*>(&widget)) {
        list->set_adapter(&rows);
        list->reset(1000);
    }
    for (const auto& child : widget.children()) give_rows(*child, rows);
}
}  // namespace

TEST(CorpusWidgets, EveryKeptSkinRunsOnTheScreenStack) {
    ensure_standard_widgets();
    const std::filesystem::path folder = std::filesystem::path(QUILLON_TEST_DATA) / "../fuzz/corpus";
    ASSERT_TRUE(std::filesystem::is_directory(folder));
    const int64_t cached_before = Widget::cache_pixels();
    int screens = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        std::ifstream file(entry.path(), std::ios::binary);
        std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
        Properties properties;
        if (!properties.load_skin_bytes(bytes, u"/nonexistent/corpus.skin", DisplayInfo{240, 320, 96, 0})) continue;
        const auto elements = properties.top_level_elements();
        CorpusRows rows;
        rows.properties = &properties;
        rows.row_id = elements.empty() ? u"" : elements.front().first;
        for (size_t n = 0; n < elements.size() && n < 8; ++n) {
            TestScreen screen;
            try {
                if (!screen.bind(properties, elements[n].first)) continue;
            } catch (const SkinException&) {
                continue;
            }
            give_rows(screen, rows);
            ScreenManager manager({240, 320});
            RenderSurface frame(240, 320);
            manager.push_screen(&screen, n % 2 == 1);
            manager.on_pointer_down(120, 160);
            manager.on_pointer_move(120, 40);
            manager.on_pointer_up(120, 40, false);
            manager.on_key(KeyEvent{key::Down, true, true});
            manager.on_key(KeyEvent{key::Enter, true, true});
            manager.on_text(u"x");
            for (int i = 0; i < 3; ++i) {
                manager.tick(0.05);
                manager.compose(frame);
            }
            EXPECT_LE(Widget::cache_pixels() - cached_before, 8 * 240 * 320);
            manager.remove_screen(&screen);
            ++screens;
        }
    }
    EXPECT_GT(screens, 0);
    EXPECT_EQ(Widget::cache_pixels(), cached_before);
}
