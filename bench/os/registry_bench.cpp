// The log reads the "Log" DWORD on every line and the call monitor reads the phone state ten times
// a second, so one reg_read_dword on an existing value must cost about as much as a file look-up.
// Reported against one stat() of a file measured in the same run.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "os/registry.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr std::u16string_view kKey = u"HKEY_CURRENT_USER\\Software\\Korvel";

struct Root {
    Root() {
        path = scratch.path();
        os::reg_write_dword(kKey, u"Log", 0);
        os::reg_flush(kKey);
        file = path + "/registry.db";
    }
    test_support::TempRoot scratch{"quillon-bench"};
    std::string path;
    std::string file;
};

Root& root() {
    static Root instance;
    return instance;
}

// Median of batches of calls, in nanoseconds per call.
template <typename Call>
double median_ns(Call call) {
    constexpr int kBatches = 101;
    constexpr int kCalls = 200;
    std::vector<double> batches;
    for (int b = 0; b < kBatches; ++b) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) call();
        const std::chrono::duration<double, std::nano> took = std::chrono::steady_clock::now() - start;
        batches.push_back(took.count() / kCalls);
    }
    std::nth_element(batches.begin(), batches.begin() + kBatches / 2, batches.end());
    return batches[kBatches / 2];
}

void BM_reg_read_dword(benchmark::State& state) {
    Root& r = root();
    uint32_t value = 1;
    for (auto _ : state) {
        benchmark::DoNotOptimize(os::reg_read_dword(kKey, u"Log", value));
    }
    const double registry = median_ns([&] { benchmark::DoNotOptimize(os::reg_read_dword(kKey, u"Log", value)); });
    struct stat info {};
    const double baseline = median_ns([&] { benchmark::DoNotOptimize(::stat(r.file.c_str(), &info)); });
    state.counters["median_us"] = registry / 1000.0;
    state.counters["stat_us"] = baseline / 1000.0;
    state.counters["ratio_to_stat"] = registry / baseline;
}
BENCHMARK(BM_reg_read_dword);

void BM_stat(benchmark::State& state) {
    struct stat info {};
    for (auto _ : state) benchmark::DoNotOptimize(::stat(root().file.c_str(), &info));
}
BENCHMARK(BM_stat);

}  // namespace
