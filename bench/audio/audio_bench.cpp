// The recording filter chain against a plain copy of the same bytes, and the buffer's hand-over
// from the pushing thread to its own thread.
#include <benchmark/benchmark.h>
#include <time.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <thread>
#include <vector>

#include "audio/active_buffer.h"
#include "audio/boost_filter.h"
#include "audio/duration_filter.h"
#include "audio/level_filter.h"
#include "os/event.h"

namespace {

constexpr int rate = 44100;
constexpr int seconds = 60;
constexpr std::size_t block_bytes = rate / 5 * 2;  // 200 ms, 16-bit mono

std::vector<uint8_t> speech_like() {
    std::vector<uint8_t> out(static_cast<std::size_t>(rate) * seconds * 2);
    auto* s = reinterpret_cast<int16_t*>(out.data());
    uint32_t noise = 1;
    for (int f = 0; f < rate * seconds; ++f) {
        const double t = static_cast<double>(f) / rate;
        // Syllables: a 4 Hz envelope with pauses, over a voiced tone and a little noise.
        const double envelope = std::max(0.0, std::sin(2 * M_PI * 4.0 * t)) * (0.3 + 0.7 * (f / (rate * 3) % 2));
        noise = noise * 1664525 + 1013904223;
        const double voiced = 2500 * std::sin(2 * M_PI * 150 * t) + 900 * std::sin(2 * M_PI * 450 * t);
        s[f] = static_cast<int16_t>(envelope * voiced + static_cast<int>(noise >> 24) - 128);
    }
    return out;
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec * 1e-9;
}

class NullSink : public AudioConsumer {
public:
    void on_data(const AudioBlock& block) override { bytes += block.length(); }
    std::size_t bytes = 0;
};

// Real-time factor of boost ("Boost3") → level → duration over 60 s of 44.1 kHz mono speech.
void BM_RecordingChain(benchmark::State& state) {
    const std::vector<uint8_t> audio = speech_like();
    std::vector<AudioBlock> blocks;
    for (std::size_t at = 0; at < audio.size(); at += block_bytes) {
        blocks.emplace_back(audio.data() + at, std::min(block_bytes, audio.size() - at), AudioFormat{1, 16, rate});
    }
    // Baseline in the same run: copying the same bytes once.
    std::vector<uint8_t> copy(audio.size());
    const auto copy_start = std::chrono::steady_clock::now();
    constexpr int copy_rounds = 20;
    for (int r = 0; r < copy_rounds; ++r) {
        std::memcpy(copy.data(), audio.data(), audio.size());
        benchmark::DoNotOptimize(copy.data());
        benchmark::ClobberMemory();
    }
    const double copy_seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - copy_start).count() / copy_rounds;

    BoostFilter boost;
    LevelFilter level;
    DurationFilter duration;
    NullSink sink;
    boost.set_boost(8);
    level.set_vas_level(0.05);
    connect(boost, &level);
    connect(level, &duration);
    connect(duration, &sink);
    double chain_seconds = 0;
    double chain_cpu_seconds = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const double cpu_start = thread_cpu_seconds();
        for (const AudioBlock& block : blocks) {
            std::lock_guard guard(boost.lock());
            boost.on_data(block);
        }
        chain_cpu_seconds += thread_cpu_seconds() - cpu_start;
        chain_seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        boost.reset();
    }
    chain_seconds /= static_cast<double>(state.iterations());
    chain_cpu_seconds /= static_cast<double>(state.iterations());
    state.counters["realtime_factor"] = seconds / chain_seconds;
    // The same on the thread's own CPU clock: what one core does when nothing else competes for it.
    state.counters["realtime_factor_cpu"] = seconds / chain_cpu_seconds;
    state.counters["ratio_to_memcpy"] = chain_seconds / copy_seconds;
    state.counters["duration_s"] = duration.total() / static_cast<double>(state.iterations());
    connect(boost, nullptr);
    connect(level, nullptr);
    connect(duration, nullptr);
}
BENCHMARK(BM_RecordingChain)->Unit(benchmark::kMillisecond)->Iterations(5);

// Time from a 200 ms block entering on_data on the pushing thread until the buffer's thread hands
// it to the writer; median over many hand-overs. Baseline: an Event round trip between threads.
class SignallingSink : public AudioConsumer {
public:
    void on_data(const AudioBlock&) override {
        arrived_at = std::chrono::steady_clock::now();
        arrived.set();
    }
    std::chrono::steady_clock::time_point arrived_at;
    Event arrived{Event::Reset::Automatic};
};

void BM_ActiveBufferHandOver(benchmark::State& state) {
    ActiveBuffer buffer;
    SignallingSink sink;
    connect(buffer, &sink);
    AudioBlock block(block_bytes, AudioFormat{1, 16, rate});
    std::vector<double> costs;
    std::vector<double> push_costs;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        {
            std::lock_guard guard(buffer.lock());
            buffer.on_data(block);
        }
        const auto pushed = std::chrono::steady_clock::now();
        sink.arrived.wait();
        costs.push_back(std::chrono::duration<double, std::micro>(sink.arrived_at - start).count());
        push_costs.push_back(std::chrono::duration<double, std::micro>(pushed - start).count());
    }
    std::sort(costs.begin(), costs.end());
    std::sort(push_costs.begin(), push_costs.end());
    state.counters["median_us"] = costs[costs.size() / 2];
    // What the recorder's thread pays: queueing, the memory check and the wake-up call.
    state.counters["push_side_median_us"] = push_costs[push_costs.size() / 2];

    // Baseline: waking another thread with an Event and hearing back.
    Event ping, pong;
    std::vector<double> wakes;
    std::atomic<bool> done{false};
    std::thread echo([&] {
        for (;;) {
            ping.wait();
            if (done) return;
            pong.set();
        }
    });
    for (int i = 0; i < 2000; ++i) {
        const auto start = std::chrono::steady_clock::now();
        ping.set();
        pong.wait();
        wakes.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    done = true;
    ping.set();
    echo.join();
    std::sort(wakes.begin(), wakes.end());
    state.counters["event_round_trip_median_us"] = wakes[wakes.size() / 2];
    state.counters["ratio_to_round_trip"] = costs[costs.size() / 2] / wakes[wakes.size() / 2];
    connect(buffer, nullptr);
}
BENCHMARK(BM_ActiveBufferHandOver)->Iterations(5000);

}  // namespace
