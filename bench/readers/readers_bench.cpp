// Reader speed, each figure a ratio measured in the same run:
// - Mp3ChainVsBareLibmad: our reader chain (frame splitter + decoder node, pulled as the player
//   pulls) against a bare libmad loop over the same file in memory; counter chain_speed_vs_bare is
//   bare time / chain time (1.0 = as fast as the bare loop).
// - RealTime/<codec>: seconds of audio decoded per second of work over a one-minute file made by
//   the ecosystem's encoders (counter realtime_factor).
#include <benchmark/benchmark.h>
#include <mad.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/readers/file_reader.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr double seconds_of_audio = 60.0;

const std::string& folder() {
    static const test_support::TempRoot scratch("quillon-readers-bench");
    return scratch.path();
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// One minute of speech-like test signal as a 16-bit WAV, made by sox.
std::string source(int rate, int channels) {
    const std::string path = folder() + "/source_" + std::to_string(rate) + "_" + std::to_string(channels) + ".wav";
    if (::access(path.c_str(), R_OK) != 0) {
        run("sox -n -r " + std::to_string(rate) + " -c " + std::to_string(channels) + " -b 16 " + path + " synth " +
            std::to_string(seconds_of_audio) + " sine 200-2000 sine 440 vol 0.4");
    }
    return path;
}

// The file of a codec, or empty when its encoder is not installed.
std::string file_for(const std::string& codec) {
    const std::string out = folder() + "/minute_" + codec;
    if (::access(out.c_str(), R_OK) == 0) return out;
    bool made = false;
    if (codec == "PCM") made = run("sox " + source(8000, 1) + " " + out + ".wav") && run("mv " + out + ".wav " + out);
    if (codec == "ADPCM")
        made = run("sox " + source(8000, 1) + " -e ms-adpcm " + out + ".wav") && run("mv " + out + ".wav " + out);
    if (codec == "GSM")
        made = run("sox " + source(8000, 1) + " -e gsm-full-rate " + out + ".wav") && run("mv " + out + ".wav " + out);
    if (codec == "Vorbis") made = run("oggenc -Q -q 3 -o " + out + " " + source(44100, 2));
    if (codec == "MPC")
        made = run("mpcenc --silent --overwrite --standard " + source(44100, 2) + " " + out + ".mpc") &&
               run("mv " + out + ".mpc " + out);
    if (codec == "mp3") made = run("lame --quiet -b 128 " + source(44100, 2) + " " + out);
    return made ? out : std::string();
}

// Pulls a reader dry as the player does; returns the frames delivered.
long long play(const std::string& path) {
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    if (!reader) return -1;
    long long frames = 0;
    for (;;) {
        AudioBlock block = reader->output().get_data(16384);
        if (block.is_empty()) break;
        frames += block.frames();
    }
    return frames;
}

inline short round_to_16(mad_fixed_t sample) {
    sample += 1L << (MAD_F_FRACBITS - 16);
    if (sample >= MAD_F_ONE)
        sample = MAD_F_ONE - 1;
    else if (sample < -MAD_F_ONE)
        sample = -MAD_F_ONE;
    return static_cast<short>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

// The bare loop: the whole file in one libmad buffer, the same rounding into one output buffer.
long long bare_libmad(const std::vector<unsigned char>& bytes, std::vector<short>& out) {
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;
    mad_stream_init(&stream);
    mad_frame_init(&frame);
    mad_synth_init(&synth);
    mad_stream_buffer(&stream, bytes.data(), bytes.size());
    long long frames = 0;
    for (;;) {
        if (mad_frame_decode(&frame, &stream) != 0) {
            if (MAD_RECOVERABLE(stream.error)) continue;
            break;
        }
        mad_synth_frame(&synth, &frame);
        const mad_pcm& pcm = synth.pcm;
        out.resize(pcm.length * pcm.channels);
        for (unsigned i = 0; i < pcm.length; ++i) {
            for (unsigned c = 0; c < pcm.channels; ++c) out[i * pcm.channels + c] = round_to_16(pcm.samples[c][i]);
        }
        frames += pcm.length;
    }
    mad_synth_finish(&synth);
    mad_frame_finish(&frame);
    mad_stream_finish(&stream);
    return frames;
}

void Mp3ChainVsBareLibmad(benchmark::State& state) {
    const std::string path = file_for("mp3");
    if (path.empty()) {
        state.SkipWithError("lame or sox missing");
        return;
    }
    std::ifstream in(path, std::ios::binary);
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<short> scratch;
    double bare = 0, chain = 0;
    long long frames_bare = 0, frames_chain = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        frames_bare = bare_libmad(bytes, scratch);
        auto t1 = std::chrono::steady_clock::now();
        frames_chain = play(path);
        auto t2 = std::chrono::steady_clock::now();
        bare += std::chrono::duration<double>(t1 - t0).count();
        chain += std::chrono::duration<double>(t2 - t1).count();
        benchmark::DoNotOptimize(scratch.data());
    }
    state.counters["chain_speed_vs_bare"] = chain > 0 ? bare / chain : 0;
    state.counters["frames_chain"] = static_cast<double>(frames_chain);
    state.counters["frames_bare"] = static_cast<double>(frames_bare);
}
BENCHMARK(Mp3ChainVsBareLibmad)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

void RealTime(benchmark::State& state, const std::string& codec) {
    const std::string path = file_for(codec);
    if (path.empty()) {
        state.SkipWithError("encoder missing");
        return;
    }
    double seconds = 0;
    long long frames = 0;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        frames = play(path);
        seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    }
    std::unique_ptr<FileReader> reader = FileReader::open(os::from_utf8(path));
    const double audio = reader && reader->info().rate() > 0 ? static_cast<double>(frames) / reader->info().rate() : 0;
    state.counters["realtime_factor"] = seconds > 0 ? audio * static_cast<double>(state.iterations()) / seconds : 0;
    state.counters["audio_seconds"] = audio;
}
BENCHMARK_CAPTURE(RealTime, PCM, std::string("PCM"))->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(RealTime, ADPCM, std::string("ADPCM"))->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(RealTime, GSM, std::string("GSM"))->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();
BENCHMARK_CAPTURE(RealTime, Vorbis, std::string("Vorbis"))->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(RealTime, MPC, std::string("MPC"))->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();
BENCHMARK_CAPTURE(RealTime, mp3, std::string("mp3"))->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
