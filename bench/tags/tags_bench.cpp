// Tag reading and MP3 frame counting, each figure measured in the same run as its baseline:
// - TagScanTagLibVsOwnReader: what the record list does with a folder it has no cache for: the
//   artist, title and album of 10,000 tagged MP3 files, through TagLib (read_file_tags) and through
//   the hand-written ID3 reader (read_record_tags), alternately, each pass after the files were
//   dropped from the page cache where the file system allows it. Counter taglib_vs_own_time is
//   TagLib's time / the own reader's time (1.10 = 10% slower).
// - FrameScanOneHourVbr: opening an hour of variable-bit-rate MP3 without a Xing frame, which
//   counts its frames one by one; counter open_ms, and scan_vs_plain_read, the open's time / the
//   time of reading the same file whole in 64 KB pieces.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "audio/mp3/file_reader_mp3.h"
#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "audio/readers/file_reader.h"
#include "audio/tags/file_tags.h"
#include "os/file.h"
#include "os/text.h"
#include "tests/support/temp_folder.h"

namespace {

constexpr int tagged_files = 10000;

const std::string& folder() {
    static const test_support::TempRoot scratch("quillon-tags-bench");
    return scratch.path();
}

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<std::uint8_t> read_all(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return bytes;
    std::uint8_t buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.insert(bytes.end(), buffer, buffer + n);
    std::fclose(file);
    return bytes;
}

void write_all(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) std::abort();
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
}

// 10,000 files as our recorder tags them (ID3v2.3 with padding) in front of a little audio.
const std::vector<std::string>& tagged() {
    static const std::vector<std::string> paths = [] {
        std::vector<std::string> out;
        const std::string wav = folder() + "/short.wav";
        const std::string mp3 = folder() + "/short.mp3";
        if (!run("sox -n -r 22050 -c 1 -b 16 " + wav + " synth 0.3 sine 440") ||
            !run("lame --quiet -b 32 -t " + wav + " " + mp3)) {
            return out;
        }
        const std::vector<std::uint8_t> audio = read_all(mp3);
        for (int i = 0; i < tagged_files; ++i) {
            Id3Tag tag;
            tag.set_text("TPE1", u"Alice Walker");
            tag.set_text("TIT2", os::from_utf8("Call number " + std::to_string(i)));
            tag.set_text("TALB", u"Record");
            tag.set_text("TCON", u"Quillon Touch");
            const auto bytes = tag.render();
            if (!bytes) std::abort();
            std::vector<std::uint8_t> file = *bytes;
            file.insert(file.end(), audio.begin(), audio.end());
            out.push_back(folder() + "/tagged_" + std::to_string(i) + ".mp3");
            write_all(out.back(), file);
        }
        return out;
    }();
    return paths;
}

void drop_from_cache(const std::vector<std::string>& paths) {
    for (const std::string& path : paths) {
        const int descriptor = ::open(path.c_str(), O_RDONLY);
        if (descriptor < 0) continue;
        ::posix_fadvise(descriptor, 0, 0, POSIX_FADV_DONTNEED);
        ::close(descriptor);
    }
}

void TagScanTagLibVsOwnReader(benchmark::State& state) {
    const std::vector<std::string>& paths = tagged();
    if (paths.empty()) {
        state.SkipWithError("sox or lame missing");
        return;
    }
    std::vector<std::u16string> paths16;
    for (const std::string& path : paths) paths16.push_back(os::from_utf8(path));
    double own = 0, taglib = 0;
    std::size_t checksum = 0;
    const bool cold = state.range(0) != 0;
    const auto pass = [&](bool through_taglib) {
        if (cold) drop_from_cache(paths);
        const auto start = std::chrono::steady_clock::now();
        for (const std::u16string& path : paths16) {
            checksum += (through_taglib ? read_file_tags(path) : read_record_tags(path)).title.size();
        }
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    bool taglib_first = false;
    for (auto _ : state) {
        // Each goes first every other time, so neither gains from what the other left behind.
        taglib_first = !taglib_first;
        if (taglib_first) {
            taglib += pass(true);
            own += pass(false);
        } else {
            own += pass(false);
            taglib += pass(true);
        }
    }
    benchmark::DoNotOptimize(checksum);
    state.counters["taglib_vs_own_time"] = own > 0 ? taglib / own : 0;
    state.counters["own_ms_per_10000"] = own * 1000 / static_cast<double>(state.iterations());
    state.counters["taglib_ms_per_10000"] = taglib * 1000 / static_cast<double>(state.iterations());
}
// 1: each pass after the files were dropped from the page cache; 0: from the cache.
BENCHMARK(TagScanTagLibVsOwnReader)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->Iterations(4)->UseRealTime();

// An hour (and a minute) of VBR MPEG audio without a Xing frame: a minute made by lame, its frames
// repeated.
std::string hour_of_vbr() {
    const std::string out = folder() + "/hour_vbr.mp3";
    if (::access(out.c_str(), R_OK) == 0) return out;
    const std::string wav = folder() + "/minute.wav";
    const std::string minute = folder() + "/minute_vbr.mp3";
    if (!run("sox -n -r 44100 -c 2 -b 16 " + wav + " synth 60 sine 200-2000 sine 440 vol 0.4") ||
        !run("lame --quiet -t -V 4 " + wav + " " + minute)) {
        return {};
    }
    const std::vector<std::uint8_t> frames = read_all(minute);
    std::vector<std::uint8_t> hour;
    // 61 copies: with 60, every point where the bit rate is sampled would fall on a copy's first frame.
    for (int i = 0; i < 61; ++i) hour.insert(hour.end(), frames.begin(), frames.end());
    write_all(out, hour);
    return out;
}

void FrameScanOneHourVbr(benchmark::State& state) {
    const std::string path = hour_of_vbr();
    if (path.empty()) {
        state.SkipWithError("sox or lame missing");
        return;
    }
    double open = 0, plain = 0, seconds = 0;
    bool counted = false;
    for (auto _ : state) {
        auto t0 = std::chrono::steady_clock::now();
        FileReaderMP3 reader(os::from_utf8(path));
        auto t1 = std::chrono::steady_clock::now();
        const std::vector<std::uint8_t> bytes = read_all(path);
        auto t2 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(bytes.data());
        counted = reader.frames_counted();
        seconds = reader.duration();
        open += std::chrono::duration<double>(t1 - t0).count();
        plain += std::chrono::duration<double>(t2 - t1).count();
    }
    state.counters["open_ms"] = open * 1000 / static_cast<double>(state.iterations());
    state.counters["scan_vs_plain_read"] = plain > 0 ? open / plain : 0;
    state.counters["frames_counted"] = counted ? 1 : 0;
    state.counters["audio_seconds"] = seconds;
}
BENCHMARK(FrameScanOneHourVbr)->Unit(benchmark::kMillisecond)->Iterations(5)->UseRealTime();

}  // namespace
