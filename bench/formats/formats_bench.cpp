// Speed of the recording formats, each against a baseline measured in the same run:
// - the MP3 recording path (level → duration → ActiveBuffer → Mp3Encoder → FileWriterMP3, the chain
//   quillon-tool encode drives, without the boost) against a bare lame_encode_buffer loop;
// - the MS ADPCM encoder (all seven predictors per block) against sox's MS ADPCM encoder on the
//   same input, when sox is installed.
#include <benchmark/benchmark.h>
#include <lame/lame.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "audio/mp3/mp3_writer.h"
#include "audio/wav/adpcm_codec.h"
#include "audio/wav/codec_wav_writer.h"
#include "os/event.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"

namespace {

using Clock = std::chrono::steady_clock;

std::vector<int16_t> speech_like(int frames, int rate) {
    // A few partials with a slow envelope: closer to a voice than a pure tone, for the encoders.
    std::vector<int16_t> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double envelope = 0.5 + 0.5 * std::sin(2 * M_PI * 3 * t);
        const double v = std::sin(2 * M_PI * 180 * t) + 0.5 * std::sin(2 * M_PI * 540 * t) +
                         0.25 * std::sin(2 * M_PI * 1230 * t) + 0.05 * std::sin(2 * M_PI * 3100 * t * (1 + t));
        samples[static_cast<size_t>(i)] = static_cast<int16_t>(7000 * envelope * v);
    }
    return samples;
}

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class InputPort : public AudioPort {
public:
    AudioBlock get_data(int) override { return AudioBlock(); }
};

double run_our_mp3_path(const std::vector<int16_t>& pcm, int rate, const std::string& path) {
    const auto start = Clock::now();
    {
        InputPort port;
        LevelFilter level;
        DurationFilter duration;
        ActiveBuffer buffer;
        Mp3Writer writer(os::from_utf8(path), false, 64000);
        connect(port, &level);
        connect(level, &duration);
        connect(duration, &buffer);
        connect(buffer, &writer);
        const size_t step = static_cast<size_t>(rate / 5);
        for (size_t i = 0; i < pcm.size(); i += step) {
            const size_t n = std::min(step, pcm.size() - i);
            feed(port, AudioBlock(pcm.data() + i, n * 2, AudioFormat{1, 16, rate}));
        }
        while (buffer.queued_blocks() > 0) sleep_seconds(0.001);
        connect(buffer, nullptr);
        connect(port, nullptr);
    }
    return seconds_since(start);
}

double run_bare_lame(const std::vector<int16_t>& pcm, int rate) {
    const auto start = Clock::now();
    lame_t lame = lame_init();
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, 1);
    lame_set_brate(lame, 64);
    lame_init_params(lame);
    std::vector<uint8_t> out(8192);
    size_t total = 0;
    std::vector<int16_t> right(1152, 0);
    for (size_t i = 0; i + 1152 <= pcm.size(); i += 1152) {
        const int n =
            lame_encode_buffer(lame, pcm.data() + i, right.data(), 1152, out.data(), static_cast<int>(out.size()));
        if (n > 0) total += static_cast<size_t>(n);
    }
    total += static_cast<size_t>(std::max(0, lame_encode_flush(lame, out.data(), static_cast<int>(out.size()))));
    lame_close(lame);
    benchmark::DoNotOptimize(total);
    return seconds_since(start);
}

void BM_Mp3RecordingPathVsBareLame(benchmark::State& state) {
    const int rate = 44100;
    const double audio_seconds = 20.0;
    const std::vector<int16_t> pcm = speech_like(static_cast<int>(audio_seconds * rate), rate);
    const test_support::TempRoot scratch("quillon-bench");
    const std::string folder = scratch.path();
    double ours = 0, bare = 0;
    for (auto _ : state) {
        bare += run_bare_lame(pcm, rate);
        ours += run_our_mp3_path(pcm, rate, folder + "/bench.mp3");
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["rtf_path"] = audio_seconds * n / ours;
    state.counters["rtf_bare_lame"] = audio_seconds * n / bare;
    state.counters["ratio"] = bare / ours;
}
BENCHMARK(BM_Mp3RecordingPathVsBareLame)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

double encode_adpcm(const std::vector<int16_t>& pcm, int rate) {
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(1, rate);
    std::vector<uint8_t> block(static_cast<size_t>(geometry.block_align));
    const auto start = Clock::now();
    int checksum = 0;
    for (size_t i = 0; i + static_cast<size_t>(geometry.samples_per_block) <= pcm.size();
         i += static_cast<size_t>(geometry.samples_per_block)) {
        checksum += adpcm::encode_block(geometry, pcm.data() + i, block.data());
    }
    benchmark::DoNotOptimize(checksum);
    return seconds_since(start);
}

// sox's MS ADPCM encoder on the same samples: the whole process, so the input is long.
double sox_adpcm(const std::vector<int16_t>& pcm, int rate, const std::string& folder) {
    if (std::system("command -v sox >/dev/null 2>&1") != 0) return 0;
    const std::string raw = folder + "/in.raw";
    FILE* f = std::fopen(raw.c_str(), "wb");
    std::fwrite(pcm.data(), 2, pcm.size(), f);
    std::fclose(f);
    const std::string command = "sox -t raw -r " + std::to_string(rate) + " -e signed -b 16 -c 1 '" + raw +
                                "' -e ms-adpcm '" + folder + "/out.wav'";
    const auto start = Clock::now();
    if (std::system(command.c_str()) != 0) return 0;
    return seconds_since(start);
}

void BM_AdpcmEncode(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const double audio_seconds = 60.0;
    const std::vector<int16_t> pcm = speech_like(static_cast<int>(audio_seconds * rate), rate);
    const test_support::TempRoot scratch("quillon-bench");
    const std::string folder = scratch.path();
    double ours = 0, sox = 0;
    for (auto _ : state) {
        ours += encode_adpcm(pcm, rate);
        sox += sox_adpcm(pcm, rate, folder);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["rtf"] = audio_seconds * n / ours;
    if (sox > 0) {
        state.counters["rtf_sox"] = audio_seconds * n / sox;
        state.counters["ratio_vs_sox"] = sox / ours;
    }
}
BENCHMARK(BM_AdpcmEncode)->Arg(8000)->Arg(44100)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
