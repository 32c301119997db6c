// Frames of the screen stack at 480 × 800: a screen with a 20-row list being scrolled, an overlay
// over it while the screen beneath is dimmed, and a running "scale" transition; each reported in
// milliseconds per frame and as a ratio against one memcpy of the frame measured in the same run.
// A fling over 10,000 rows is timed against the same fling over 100 rows: the ratio stays near 1
// because a list's work per frame does not depend on its length.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "skin/screen.h"
#include "skin/screen_manager.h"
#include "skin/visibility_animation.h"
#include "skin/vlist_widget.h"
#include "skin/widget_kinds.h"
#include "skin/widget_registry.h"
#include "tools/quillon-skinc/skin_source.h"
#include "tools/quillon-skinc/skin_writer.h"

namespace {
constexpr int32_t kWidth = 480;
constexpr int32_t kHeight = 800;

const char* kSkin = R"(
element FormList {
    child {
        string type color
        color color 245 245 245
    }
    child {
        string type vlist
        string id list
        point border_min 0 0
    }
}
element Row {
    point design_size 0 40
    child {
        string type color
        string id #vlist_normal
        color color 255 255 255
        point border_max 0 1
    }
    child {
        string type color
        string id #vlist_selected
        color color 200 220 255
        point border_max 0 1
    }
    child {
        string type text
        string id #text
        string halign LEFT
        point border_min 12 0
        font font 10 0 0 0 Tahoma
    }
}
element FormDialog {
    string visibility_animation scale
    child {
        string type color
        string anchor_x CENTER
        string anchor_y CENTER
        point design_size 400 240
        color color 250 250 250
        child {
            string type text
            string text "Delete 12 recordings?"
            font font 11 1 0 0 Tahoma
        }
    }
}
element FormNext {
    string visibility_animation scale
    child {
        string type color
        color color 30 60 120
    }
}
)";

double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

template <typename Work>
double seconds_per_call(Work&& work, int reps) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        const double start = thread_seconds();
        for (int i = 0; i < reps; ++i) work();
        best = std::min(best, (thread_seconds() - start) / reps);
    }
    return best;
}

double memcpy_seconds() {
    RenderSurface a(kWidth, kHeight), b(kWidth, kHeight);
    const size_t bytes = static_cast<size_t>(b.bitmap()->pitch()) * kHeight;
    return seconds_per_call(
        [&] {
            std::memcpy(b.bitmap()->row(0), a.bitmap()->row(0), bytes);
            benchmark::ClobberMemory();
        },
        200);
}

struct Rows : VListAdapter {
    Properties* properties = nullptr;
    void build_row(Widget& row, int32_t) override { row.bind(*properties, u"Row"); }
    void bind_row(Widget& row, int32_t index) override {
        std::u16string text = u"Voice note ";
        for (char c : std::to_string(index)) text += static_cast<char16_t>(c);
        row.set_text(text);
    }
};

struct World {
    Properties properties;
    Rows rows;
    Screen list_screen, dialog, next;
    VListWidget* list = nullptr;
    ScreenManager manager{{kWidth, kHeight}};
    RenderSurface frame{kWidth, kHeight};

    explicit World(int32_t count) {
        if (!WidgetRegistry::global().contains(u"node")) register_standard_widgets(WidgetRegistry::global());
        SkinSource source;
        std::string error;
        std::vector<uint8_t> bytes;
        if (!parse_skin_source(kSkin, "bench.src", source, error) || !write_skin(source, "bench.src", bytes, error) ||
            !properties.load_skin_bytes(bytes, u"/bench.skin", DisplayInfo{kWidth, kHeight, 96, 0})) {
            return;
        }
        list_screen.bind(properties, u"FormList");
        dialog.bind(properties, u"FormDialog");
        next.bind(properties, u"FormNext");
        rows.properties = &properties;
        list = static_cast<VListWidget*>(list_screen.find_child(u"list"));
        list->set_adapter(&rows);
        list->reset(count);
        manager.push_screen(&list_screen, false);
        manager.compose(frame);
    }
    bool valid() const { return list != nullptr; }
};

void report(benchmark::State& state, double seconds, double baseline) {
    state.counters["ms_per_frame"] = seconds * 1e3;
    state.counters["ratio_vs_memcpy"] = seconds / baseline;
}

void BM_ComposeScrollingList(benchmark::State& state) {
    World world(1000);
    if (!world.valid()) return state.SkipWithError("skin");
    double scroll = 0, seconds = 0;
    const double baseline = memcpy_seconds();
    for (auto _ : state) {
        seconds = seconds_per_call(
            [&] {
                scroll = scroll > 30000 ? 0 : scroll + 7;
                world.list->set_scroll_position(scroll);
                world.manager.compose(world.frame);
            },
            100);
    }
    report(state, seconds, baseline);
}
BENCHMARK(BM_ComposeScrollingList)->Iterations(1);

void BM_ComposeOverlayDimming(benchmark::State& state) {
    World world(1000);
    if (!world.valid()) return state.SkipWithError("skin");
    world.manager.push_screen(&world.dialog, true);
    double seconds = 0;
    const double baseline = memcpy_seconds();
    for (auto _ : state) {
        // The dialog's own "scale" runs while the screen beneath darkens: restart it as it ends.
        seconds = seconds_per_call(
            [&] {
                if (!world.dialog.animation()->is_running()) {
                    world.dialog.set_visible_now(false);
                    world.dialog.set_visible(true);
                }
                world.manager.tick(0.004);
                world.manager.compose(world.frame);
            },
            100);
    }
    report(state, seconds, baseline);
}
BENCHMARK(BM_ComposeOverlayDimming)->Iterations(1);

void BM_ComposeScaleTransition(benchmark::State& state) {
    World world(1000);
    if (!world.valid()) return state.SkipWithError("skin");
    double seconds = 0;
    const double baseline = memcpy_seconds();
    for (auto _ : state) {
        seconds = seconds_per_call(
            [&] {
                if (!world.manager.is_transition_running()) {
                    world.manager.remove_screen(&world.next);
                    world.manager.push_screen(&world.next, false);
                }
                world.manager.tick(0.004);
                world.manager.compose(world.frame);
            },
            100);
    }
    report(state, seconds, baseline);
}
BENCHMARK(BM_ComposeScaleTransition)->Iterations(1);

// A whole fling (release at 2000 px/s until the list rests), per frame.
double fling_frame_seconds(int32_t count) {
    World world(count);
    if (!world.valid()) return 0;
    int frames = 0;
    const double start = thread_seconds();
    for (int fling = 0; fling < 5; ++fling) {
        world.manager.on_pointer_down(200, 700);
        world.manager.on_pointer_move(200, 400);
        world.manager.on_pointer_up(200, 100, false);
        world.list->set_scroll_position(0);
        world.manager.on_pointer_down(200, 790);
        world.manager.on_pointer_move(200, 10);
        world.manager.on_pointer_up(200, 10, false);
        while (world.list->is_moving() && frames < 100000) {
            world.manager.tick(1.0 / 60.0);
            world.manager.compose(world.frame);
            ++frames;
        }
    }
    return frames ? (thread_seconds() - start) / frames : 0;
}

void BM_FlingFrameTime(benchmark::State& state) {
    double small = 0, large = 0;
    for (auto _ : state) {
        small = fling_frame_seconds(100);
        large = fling_frame_seconds(10000);
    }
    state.counters["ms_per_frame_100_rows"] = small * 1e3;
    state.counters["ms_per_frame_10000_rows"] = large * 1e3;
    state.counters["ratio_10000_vs_100"] = small > 0 ? large / small : 0;
}
BENCHMARK(BM_FlingFrameTime)->Iterations(1);
}  // namespace
