#include "tests/audio_readers/fixtures.h"

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>

#include "tests/support/temp_folder.h"
#include "tests/support/wav_file.h"

namespace fixtures {

const std::string& scratch() {
    static const test_support::TempRoot folder("quillon-readers");
    return folder.path();
}

std::string path_in_scratch(const std::string& name) { return scratch() + "/" + name; }

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<std::uint8_t> read_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool has_program(const std::string& name) { return run("command -v " + name); }

bool run(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<std::int16_t> test_signal(int channels, int rate, double seconds) {
    const auto frames = static_cast<std::size_t>(rate * seconds);
    std::vector<std::int16_t> samples(frames * channels);
    for (std::size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double sweep = std::sin(2 * M_PI * (200 + 600 * t / seconds) * t);
        for (int c = 0; c < channels; ++c) {
            const double tone = std::sin(2 * M_PI * (440.0 + 110.0 * c) * t);
            samples[i * channels + c] = static_cast<std::int16_t>(std::lrint(9000 * sweep + 6000 * tone));
        }
    }
    return samples;
}

namespace {
std::uint32_t get32(const std::uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (std::uint32_t(p[3]) << 24); }
}  // namespace

std::vector<std::uint8_t> pcm_wav(const std::vector<std::int16_t>& samples, int channels, int rate) {
    const std::string bytes = test_support::wav_bytes(channels, rate, 16, test_support::pcm16_bytes(samples));
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
}

std::vector<std::int16_t> wav_samples(const std::string& path) {
    const std::vector<std::uint8_t> bytes = read_file(path);
    std::size_t at = 12;
    while (at + 8 <= bytes.size()) {
        std::uint32_t size = get32(&bytes[at + 4]);
        if (std::memcmp(&bytes[at], "data", 4) == 0) {
            // Tools writing to a pipe leave the size at its maximum: take what is there.
            const std::size_t end = std::min<std::size_t>(bytes.size(), at + 8 + static_cast<std::size_t>(size));
            std::vector<std::int16_t> samples((end - at - 8) / 2);
            std::memcpy(samples.data(), &bytes[at + 8], samples.size() * 2);
            return samples;
        }
        at += 8 + size + (size & 1);
    }
    return {};
}

std::vector<std::int16_t> raw_samples(const std::string& path) {
    const std::vector<std::uint8_t> bytes = read_file(path);
    std::vector<std::int16_t> samples(bytes.size() / 2);
    std::memcpy(samples.data(), bytes.data(), samples.size() * 2);
    return samples;
}

namespace {
double snr_at(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test, long shift,
              std::size_t from, std::size_t to) {
    double signal = 0, noise = 0;
    for (std::size_t i = from; i < to && i < reference.size(); ++i) {
        const long j = static_cast<long>(i) + shift;
        if (j < 0 || j >= static_cast<long>(test.size())) continue;
        const double r = reference[i];
        const double d = r - test[static_cast<std::size_t>(j)];
        signal += r * r;
        noise += d * d;
    }
    if (signal == 0) return -std::numeric_limits<double>::infinity();
    return noise == 0 ? 200.0 : 10 * std::log10(signal / noise);
}
}  // namespace

double snr_db(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test, int channels,
              int max_lag, int* lag_found) {
    // The alignment is judged on a stretch past the coders' start-up, then the whole overlap is measured.
    const std::size_t from = std::min<std::size_t>(reference.size(), 8192 * static_cast<std::size_t>(channels));
    const std::size_t to = std::min<std::size_t>(reference.size(), from + 16384 * static_cast<std::size_t>(channels));
    double best = -std::numeric_limits<double>::infinity();
    int best_lag = 0;
    for (int lag = -max_lag; lag <= max_lag; ++lag) {
        const double snr = snr_at(reference, test, static_cast<long>(lag) * channels, from, to);
        if (snr > best) {
            best = snr;
            best_lag = lag;
        }
    }
    if (lag_found != nullptr) *lag_found = best_lag;
    return snr_at(reference, test, static_cast<long>(best_lag) * channels, 0, reference.size());
}

}  // namespace fixtures
