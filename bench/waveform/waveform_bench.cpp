// Each figure against a baseline measured in the same run:
// - Peaks/OneHourMp3 against Decode/OneHourMp3: the peaks of a one-hour MP3 from elsewhere (made by
//   lame) computed as the playback screen computes them in the background, against a bare decode
//   through the same reader; counter peaks_vs_decode (aim at most 1.1) and share_of_duration
//   (the work's seconds per second of audio; aim under 1/300 = 0.0033). Both in the thread's own
//   processor time, which other programs on a loaded machine do not stretch.
// - Compose/PlaybackScreen against Memcpy/Frame: the whole playback screen of the shipped skin at
//   480 x 800 with an hour's waveform and its position moving, drawn from scratch each frame;
//   counter compose_vs_memcpy and ms_per_frame (aim under 2 ms).
// - Stretch/Twice: a minute of speech-like sound through the playback shaper at 2x; counter
//   core_share = processor seconds per second of output played (1.0 would be a whole core).
#include <benchmark/benchmark.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "audio/playback_shaper.h"
#include "audio/readers/file_reader.h"
#include "document/file_peaks.h"
#include "os/text.h"
#include "skin/properties.h"
#include "skin/render_surface.h"
#include "skin/waveform_widget.h"
#include "skin/widget.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr double kHour = 3600.0;

double thread_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

double process_seconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + ts.tv_nsec * 1e-9;
}

const std::string& hour_mp3() {
    static const test_support::TempRoot scratch("quillon-waveform-bench");
    static const std::string path = [] {
        // Encoding an hour takes minutes: a file made by an earlier run is used again.
        const std::string out = "/tmp/quillon-waveform-bench-hour.mp3";
        if (::access(out.c_str(), R_OK) == 0) return out;
        // Speech-like: a swept tone whose loudness comes and goes, as voices do; mono 22 kHz.
        const std::string command =
            "sox -n -r 22050 -c 1 -b 16 -t wav - synth 3600 sine 200-1200 tremolo 0.4 90 "
            "| lame --quiet -b 48 - " +
            out + ".part >/dev/null 2>&1 && mv " + out + ".part " + out;
        if (std::system(command.c_str()) != 0) std::abort();
        return out;
    }();
    return path;
}

double g_decode_seconds = 0;
double g_memcpy_seconds = 0;

void Decode_OneHourMp3(benchmark::State& state) {
    const std::u16string path = os::from_utf8(hour_mp3());
    for (auto _ : state) {
        const double began = thread_seconds();
        std::unique_ptr<FileReader> reader = FileReader::open(path);
        int64_t frames = 0;
        for (;;) {
            const AudioBlock block = reader->output().get_data(16384);
            if (block.is_empty()) break;
            frames += block.frames();
        }
        benchmark::DoNotOptimize(frames);
        g_decode_seconds = thread_seconds() - began;
    }
}
BENCHMARK(Decode_OneHourMp3)->Iterations(1)->Unit(benchmark::kMillisecond);

void Peaks_OneHourMp3(benchmark::State& state) {
    const std::u16string path = os::from_utf8(hour_mp3());
    double seconds = 0;
    size_t pairs = 0;
    for (auto _ : state) {
        const double began = thread_seconds();
        std::vector<PeakPair> peaks;
        compute_file_peaks(path, peaks);
        pairs = peaks.size();
        seconds = thread_seconds() - began;
    }
    state.counters["pairs"] = static_cast<double>(pairs);
    state.counters["peaks_vs_decode"] = g_decode_seconds > 0 ? seconds / g_decode_seconds : 0;
    state.counters["share_of_duration"] = seconds / kHour;
}
BENCHMARK(Peaks_OneHourMp3)->Iterations(1)->Unit(benchmark::kMillisecond);

void Memcpy_Frame(benchmark::State& state) {
    std::vector<uint16_t> from(480 * 800, 0x1234), to(480 * 800);
    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * 2);
        benchmark::DoNotOptimize(to.data());
        benchmark::ClobberMemory();
    }
    g_memcpy_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() / state.iterations();
}
BENCHMARK(Memcpy_Frame);

WaveformWidget* find_wave(Widget& widget) {
    if (auto* wave = dynamic_cast<WaveformWidget*>(&widget)) return wave;
    for (const auto& child : widget.children()) {
        if (WaveformWidget* found = find_wave(*child)) return found;
    }
    return nullptr;
}

void Compose_PlaybackScreen(benchmark::State& state) {
    Properties properties;
    const std::u16string skin = os::from_utf8(std::string(QUILLON_BIN_DIR) + "/skins/bin/default.skin");
    if (!properties.load_skin(skin, DisplayInfo{480, 800, 96, 0})) {
        state.SkipWithError("no skin");
        return;
    }
    Widget screen;
    screen.bind(properties, u"FormView");
    screen.set_x(0, 480);
    screen.set_y(0, 800);
    WaveformWidget* wave = find_wave(screen);
    if (!wave) {
        state.SkipWithError("no waveform");
        return;
    }
    std::vector<WavePeak> peaks(static_cast<size_t>(kHour * kPeaksPerSecond));
    for (size_t i = 0; i < peaks.size(); ++i) {
        const auto high = static_cast<int8_t>(20 + (i * 37) % 100);
        peaks[i] = {static_cast<int8_t>(-high), high};
    }
    wave->set_peaks(peaks);
    RenderSurface surface(480, 800);
    double fraction = 0;
    const auto began = std::chrono::steady_clock::now();
    for (auto _ : state) {
        fraction = fraction > 0.99 ? 0 : fraction + 0.003;
        wave->set_position(fraction);
        screen.draw(surface, {0, 0});
        benchmark::DoNotOptimize(surface.bitmap());
    }
    const double per_frame =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count() / state.iterations();
    state.counters["ms_per_frame"] = per_frame * 1000;
    state.counters["compose_vs_memcpy"] = g_memcpy_seconds > 0 ? per_frame / g_memcpy_seconds : 0;
}
BENCHMARK(Compose_PlaybackScreen)->Unit(benchmark::kMillisecond);

// Made before the clock starts, so only the stretching is timed.
class Tone final : public AudioPort {
public:
    explicit Tone(double seconds) : m_samples(static_cast<size_t>(seconds * 16000)) {
        for (size_t i = 0; i < m_samples.size(); ++i) {
            const double t = static_cast<double>(i) / 16000.0;
            m_samples[i] =
                static_cast<int16_t>(10000 * std::fabs(std::sin(2 * M_PI * 3 * t)) * std::sin(2 * M_PI * 220 * t));
        }
    }
    AudioBlock get_data(int requested_frames) override {
        const size_t frames = std::min(m_samples.size() - m_at, static_cast<size_t>(requested_frames));
        if (frames == 0) return {};
        AudioBlock block(m_samples.data() + m_at, frames * 2, AudioFormat{1, 16, 16000});
        m_at += frames;
        return block;
    }

private:
    std::vector<int16_t> m_samples;
    size_t m_at = 0;
};

void Stretch_Twice(benchmark::State& state) {
    double output_seconds = 0, cpu = 0;
    for (auto _ : state) {
        Tone source(60.0);
        PlaybackShaper shaper;
        connect(source, &shaper);
        shaper.set_speed(200);
        const double began = process_seconds();
        int64_t frames = 0;
        for (;;) {
            const AudioBlock block = shaper.get_data(16384);
            if (block.is_empty()) break;
            frames += block.frames();
        }
        cpu += process_seconds() - began;
        output_seconds += frames / 16000.0;
        connect(source, nullptr);
    }
    state.counters["core_share"] = output_seconds > 0 ? cpu / output_seconds : 0;
}
BENCHMARK(Stretch_Twice)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
