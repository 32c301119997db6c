// Frame-composition costs on a 480 × 800 RGB565 frame, each reported as a ratio against memcpy of
// the same frame measured in the same run, plus text output per line and skin loading.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "os/text.h"
#include "skin/blitter.h"
#include "skin/draw_text.h"
#include "skin/properties.h"
#include "skin/render_surface.h"

namespace {
constexpr int32_t kWidth = 480;
constexpr int32_t kHeight = 800;

double thread_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Seconds per call of `work`, the best of a few runs of `reps` calls.
template <typename Work>
double seconds_per_call(Work&& work, int reps = 50) {
    double best = 1e9;
    for (int round = 0; round < 5; ++round) {
        // Thread CPU time: other processes on a busy machine do not inflate either side of a ratio.
        const double start = thread_seconds();
        for (int i = 0; i < reps; ++i) work();
        const double elapsed = thread_seconds() - start;
        best = std::min(best, elapsed / reps);
    }
    return best;
}

struct Frames {
    RenderSurface source{kWidth, kHeight};
    RenderSurface target{kWidth, kHeight};
    Frames() {
        Bitmap& bitmap = *source.bitmap();
        for (int32_t y = 0; y < kHeight; ++y) {
            for (int32_t x = 0; x < kWidth; ++x) {
                // A mix of opaque, keyed and half-transparent pixels, as pictures have.
                bitmap.at(x, y) = (x + y) % 7 == 0 ? kKeyPixel : static_cast<Pixel>((x * 31 + y * 17) | ((x & 1) << 5));
            }
        }
    }
    double memcpy_time() {
        const size_t bytes = static_cast<size_t>(kWidth) * kHeight * sizeof(Pixel);
        return seconds_per_call([&] {
            std::memcpy(target.bitmap()->row(0), source.bitmap()->row(0), bytes);
            benchmark::ClobberMemory();
        });
    }
};

void run_ratio(benchmark::State& state, const Blitter* blitter, bool dimming) {
    Frames frames;
    double ratio = 0, micros = 0;
    for (auto _ : state) {
        const double baseline = frames.memcpy_time();
        const double measured = seconds_per_call([&] {
            if (dimming) {
                frames.target.filter(
                    {0, 0, kWidth, kHeight}, [](Pixel* b, Pixel* e, int32_t n) { dim_row(b, e, n); },
                    dimming_level(160));
            } else {
                blit(frames.target, {0, 0}, {kWidth, kHeight}, *frames.source.bitmap(), {0, 0}, *blitter);
            }
            benchmark::ClobberMemory();
        });
        ratio = measured / baseline;
        micros = measured * 1e6;
    }
    state.counters["ratio_vs_memcpy"] = ratio;
    state.counters["us_per_frame"] = micros;
}

void BM_OpaqueBlitFrame(benchmark::State& state) { run_ratio(state, &opaque_blitter(), false); }
void BM_KeyOnlyBlitFrame(benchmark::State& state) { run_ratio(state, &level_blitter(0), false); }
void BM_Level2BlitFrame(benchmark::State& state) { run_ratio(state, &level_blitter(2), false); }
void BM_DimmingFrame(benchmark::State& state) { run_ratio(state, nullptr, true); }
BENCHMARK(BM_OpaqueBlitFrame)->Iterations(3);
BENCHMARK(BM_KeyOnlyBlitFrame)->Iterations(3);
BENCHMARK(BM_Level2BlitFrame)->Iterations(3);
BENCHMARK(BM_DimmingFrame)->Iterations(3);

void BM_DrawTextLine(benchmark::State& state) {
    FontRep font(FontSpec{}, 96);
    RenderSurface surface(kWidth, 40);
    surface.fill({0, 0, kWidth, 40}, Color{240, 240, 240, 255});
    const std::u16string line = u"Voice note 2024-05-17 14:32, 00:03:25 ok";  // 40 code units
    draw_text(surface, font, Color{0, 0, 0, 255}, line, {0, 0, kWidth, 40}, HAlign::Left, VAlign::VCenter, false);
    double micros = 0;
    for (auto _ : state) {
        micros = 1e6 * seconds_per_call(
                           [&] {
                               draw_text(surface, font, Color{0, 0, 0, 255}, line, {0, 0, kWidth, 40}, HAlign::Left,
                                         VAlign::VCenter, false);
                               benchmark::ClobberMemory();
                           },
                           200);
    }
    state.counters["us_per_line"] = micros;
}
BENCHMARK(BM_DrawTextLine)->Iterations(3);

void BM_LoadDefaultSkin(benchmark::State& state) {
    const std::u16string path = os::from_utf8(std::string(QUILLON_BIN_DIR) + "/skins/bin/default.skin");
    double millis = 0;
    for (auto _ : state) {
        millis = 1e3 * seconds_per_call(
                           [&] {
                               Properties properties;
                               if (!properties.load_skin(path, DisplayInfo{}))
                                   state.SkipWithError("default.skin did not load");
                           },
                           10);
    }
    state.counters["ms_per_load"] = millis;
}
BENCHMARK(BM_LoadDefaultSkin)->Iterations(1);
}  // namespace
