// The record list over a tree of 10,000 tagged recordings: the synchronous rescan and the
// step-wise scan (one entry per timer expiry; here the clock runs as fast as it is read, so the
// figure is the work per entry, not the 1 ms pacing) against a bare os::walk of the same tree.
// And the CPU an idle Document costs (poll timer, call monitor) over 10 s.
// The program's start-up list: the time until a Document's step-wise scan (on the real clock, with
// its timer pacing) has listed every recording, with no record cache (cold) and with a cache that
// knows every file (warm), against the bare walk; and the longest single timer expiry of that
// scan, which holds up a frame, against the 16.7 ms of a frame at 60 frames a second.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "audio/mp3/mp3_writer.h"
#include "audio/readers/file_reader.h"
#include "core/active_scheduler.h"
#include "core/plain_event_loop.h"
#include "document/document.h"
#include "document/record_cache.h"
#include "document/record_files.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/text.h"
#include "os/tick.h"
#include "os/walk.h"
#include "tests/support/temp_folder.h"

namespace {

// Wall-clock seconds; the step-wise scan replaces the program's tick, so it cannot time itself.
class WallClock {
public:
    double elapsed() const { return std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count(); }

private:
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

constexpr int folders = 100;
constexpr int files_per_folder = 100;

// A fifth of a second of MP3 frames: a recording is only listed when a reader accepts it.
std::vector<uint8_t> some_audio(const std::string& folder) {
    const std::u16string path = os::from_utf8(folder) + u"/audio.mp3";
    {
        Mp3Writer writer(path, false, 64000);
        std::vector<int16_t> silence(8820, 0);
        writer.on_data(AudioBlock(silence.data(), silence.size() * 2, AudioFormat{1, 16, 44100}));
    }
    os::File file(path, os::File::Read);
    std::vector<uint8_t> bytes(static_cast<size_t>(file.size()));
    bytes.resize(file.read(bytes.data(), bytes.size()));
    file.close();
    os::delete_file(path);
    return bytes;
}

const std::string& tree_root() {
    static const test_support::TempRoot scratch("quillon-docbench");
    static const std::string root = [] {
        const std::string path = scratch.path();
        const std::vector<uint8_t> audio = some_audio(path);
        const std::u16string top = os::from_utf8(path) + u"/Documents/My Quillon";
        for (int f = 0; f < folders; ++f) {
            const std::u16string folder = top + u"/F" + os::to_text(f);
            std::filesystem::create_directories(os::to_utf8(folder));
            for (int i = 0; i < files_per_folder; ++i) {
                Id3Tag tag;
                fill_new_record_tag(tag, u"Caller " + os::to_text(i), u"Title " + os::to_text(f * 1000 + i), u"Record",
                                    os::DateTime(2024, 1 + f % 12, 1 + i % 28), {});
                os::File file(folder + u"/r" + os::to_text(i) + u".mp3", os::File::Write);
                tag.write(file);
                file.write(audio.data(), audio.size());
            }
        }
        return path;
    }();
    return root;
}

std::u16string records_folder() { return os::from_utf8(tree_root()) + u"/Documents/My Quillon"; }

double walk_seconds_per_entry = 0;
double walk_seconds = 0;

void BM_Walk(benchmark::State& state) {
    const std::u16string folder = records_folder();
    size_t count = 0;
    const WallClock watch;
    for (auto _ : state) {
        count = 0;
        os::walk(
            folder, u"*", u"*", true, [&](const std::u16string&) { return ++count, true; },
            [](const std::u16string&) { return true; });
    }
    walk_seconds_per_entry = watch.elapsed() / static_cast<double>(state.iterations() * count);
    walk_seconds = watch.elapsed() / static_cast<double>(state.iterations());
    state.counters["entries_per_s"] =
        benchmark::Counter(static_cast<double>(count * state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Walk)->Unit(benchmark::kMillisecond)->Iterations(5);

void BM_Rescan(benchmark::State& state) {
    tree_root();
    RecordList list;
    const WallClock watch;
    for (auto _ : state) rescan_records(list);
    const double per_entry = watch.elapsed() / static_cast<double>(state.iterations() * list.size());
    state.counters["entries"] = static_cast<double>(list.size());
    state.counters["entries_per_s"] = 1.0 / per_entry;
    state.counters["times_walk"] = per_entry / walk_seconds_per_entry;
}
BENCHMARK(BM_Rescan)->Unit(benchmark::kMillisecond)->Iterations(3);

// What a file costs the list when the cache does not know it: the entry as it was read before the
// list showed lengths (directory entry, a reader to accept the file, the tags) against the entry
// of today, which also keeps the reader's length. Both over the same 10,000 files in one run.
std::vector<std::u16string> record_paths() {
    std::vector<std::u16string> paths;
    os::walk(
        records_folder(), u"*", u"*", true,
        [&](const std::u16string& path) {
            if (is_record_file(path)) paths.push_back(path);
            return true;
        },
        [](const std::u16string&) { return true; });
    return paths;
}

RecordEntry entry_without_length(const std::u16string& path) {
    const os::FileInfo info(path);
    RecordEntry entry = record_entry_of_file(info);
    if (!FileReader::open(entry.path)) return entry;
    const RecordTags tags = read_record_tags(entry.path);
    entry.artist = tags.artist;
    entry.title = tags.title;
    entry.album = tags.album;
    entry.valid = true;
    return entry;
}

double thread_cpu_seconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The two take turns, pass by pass, after a pass that fills the page cache, and each is timed on
// the thread's CPU clock: the machine's other programs move neither figure.
void BM_ReadEntryWithLength(benchmark::State& state) {
    const std::vector<std::u16string> paths = record_paths();
    for (const std::u16string& path : paths) benchmark::DoNotOptimize(entry_without_length(path).valid);
    size_t valid = 0;
    double seconds_of_audio = 0;
    double without = 0;
    double with = 0;
    for (auto _ : state) {
        double began = thread_cpu_seconds();
        for (const std::u16string& path : paths) valid += entry_without_length(path).valid;
        without += thread_cpu_seconds() - began;
        began = thread_cpu_seconds();
        for (const std::u16string& path : paths) {
            const RecordEntry entry = record_entry(path);
            valid += entry.valid;
            seconds_of_audio += entry.duration;
        }
        with += thread_cpu_seconds() - began;
    }
    const auto passes = static_cast<double>(state.iterations());
    state.counters["entries"] = static_cast<double>(valid) / passes / 2;
    state.counters["mean_length_s"] = seconds_of_audio / (static_cast<double>(valid) / 2);
    state.counters["cpu_ms_without_length"] = without / passes * 1000.0;
    state.counters["cpu_ms_with_length"] = with / passes * 1000.0;
    state.counters["times_without_length"] = with / without;
}
BENCHMARK(BM_ReadEntryWithLength)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

std::atomic<uint32_t> racing_tick{0};
uint32_t racing_tick_source() { return racing_tick.fetch_add(1); }

void BM_StepScan(benchmark::State& state) {
    tree_root();
    os::set_tick_source(&racing_tick_source);
    size_t entries = 0;
    double seconds = 0;
    for (auto _ : state) {
        PlainEventLoop loop;
        CActiveScheduler scheduler(loop);
        Document document;
        const WallClock watch;
        document.load_secondary_things();
        loop.run_until([&] { return !document.is_scanning(); }, 0x7FFFFFFF);
        seconds += watch.elapsed();
        entries = document.records().size();
    }
    os::set_tick_source(nullptr);
    const double per_entry = seconds / static_cast<double>(state.iterations() * entries);
    state.counters["entries"] = static_cast<double>(entries);
    state.counters["entries_per_s"] = 1.0 / per_entry;
    state.counters["times_walk"] = per_entry / walk_seconds_per_entry;
}
BENCHMARK(BM_StepScan)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

struct StartFigures {
    double seconds = 0;
    size_t entries = 0;
    double longest_slice = 0;
    double longest_slice_cpu = 0;
};

StartFigures start_document() {
    PlainEventLoop loop;
    CActiveScheduler scheduler(loop);
    Document document;
    const WallClock watch;
    document.load_secondary_things();
    loop.run_until([&] { return !document.is_scanning(); }, 0x7FFFFFFF);
    return {watch.elapsed(), document.records().size(), document.longest_scan_slice(),
            document.longest_scan_slice_cpu()};
}

void forget_record_cache() {
    const std::string database = os::to_utf8(RecordCache::default_path());
    for (const char* suffix : {"", "-wal", "-shm"}) ::unlink((database + suffix).c_str());
}

void report_start(benchmark::State& state, const StartFigures& worst, double seconds) {
    constexpr double frame_seconds = 1.0 / 60.0;
    const double per_start = seconds / static_cast<double>(state.iterations());
    state.counters["entries"] = static_cast<double>(worst.entries);
    state.counters["list_ms"] = per_start * 1000.0;
    state.counters["walk_ms"] = walk_seconds * 1000.0;
    state.counters["times_walk"] = per_start / walk_seconds;
    state.counters["longest_slice_ms"] = worst.longest_slice * 1000.0;
    state.counters["slice_per_frame"] = worst.longest_slice / frame_seconds;
    // The machine's other programs stretch a slice on the clock; its own running time does not.
    state.counters["longest_slice_cpu_ms"] = worst.longest_slice_cpu * 1000.0;
    state.counters["slice_cpu_per_frame"] = worst.longest_slice_cpu / frame_seconds;
}

void BM_ColdStart(benchmark::State& state) {
    tree_root();
    StartFigures worst;
    double seconds = 0;
    for (auto _ : state) {
        forget_record_cache();
        const StartFigures figures = start_document();
        seconds += figures.seconds;
        worst.entries = figures.entries;
        worst.longest_slice = std::max(worst.longest_slice, figures.longest_slice);
        worst.longest_slice_cpu = std::max(worst.longest_slice_cpu, figures.longest_slice_cpu);
    }
    report_start(state, worst, seconds);
}
BENCHMARK(BM_ColdStart)->Unit(benchmark::kMillisecond)->Iterations(2)->UseRealTime();

void BM_WarmStart(benchmark::State& state) {
    tree_root();
    start_document();  // the cache knows every file
    StartFigures worst;
    double seconds = 0;
    for (auto _ : state) {
        const StartFigures figures = start_document();
        seconds += figures.seconds;
        worst.entries = figures.entries;
        worst.longest_slice = std::max(worst.longest_slice, figures.longest_slice);
        worst.longest_slice_cpu = std::max(worst.longest_slice_cpu, figures.longest_slice_cpu);
    }
    report_start(state, worst, seconds);
}
BENCHMARK(BM_WarmStart)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

double cpu_seconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void BM_IdleDocumentLoad(benchmark::State& state) {
    tree_root();
    for (auto _ : state) {
        PlainEventLoop loop;
        CActiveScheduler scheduler(loop);
        Document document;
        const double cpu_before = cpu_seconds();
        const WallClock watch;
        loop.run_until([] { return false; }, 10000);
        const double load = (cpu_seconds() - cpu_before) / watch.elapsed();
        state.counters["core_fraction"] = load;
        state.counters["percent_of_1pct_budget"] = load / 0.01 * 100.0;
    }
}
BENCHMARK(BM_IdleDocumentLoad)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace
