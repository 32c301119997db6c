// Writes the two recording beeps as 16-bit mono PCM WAV files: a short rising chirp that says
// "recording starts" and two falling notes that say "recording ends". Each note has a raised-cosine
// attack and release so it starts and stops without a click.
//
//     quillon-make-beep start|end FILE.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {
constexpr int rate = 22050;
constexpr double pi = 3.14159265358979323846;

struct Note {
    double from_hz;
    double to_hz;
    double seconds;
    double gap_after;
};

void add_note(std::vector<int16_t>& samples, const Note& note) {
    const int count = static_cast<int>(note.seconds * rate);
    const int ramp = rate / 100;  // 10 ms
    double phase = 0.0;
    for (int i = 0; i < count; ++i) {
        const double t = static_cast<double>(i) / count;
        const double hz = note.from_hz + (note.to_hz - note.from_hz) * t;
        phase += 2.0 * pi * hz / rate;
        double envelope = 1.0;
        if (i < ramp) envelope = 0.5 - 0.5 * std::cos(pi * i / ramp);
        if (count - i < ramp) envelope = 0.5 - 0.5 * std::cos(pi * (count - i) / ramp);
        // A little of the octave makes the tone rounder than a bare sine.
        const double value = 0.8 * std::sin(phase) + 0.2 * std::sin(2.0 * phase);
        samples.push_back(static_cast<int16_t>(value * envelope * 12000.0));
    }
    samples.insert(samples.end(), static_cast<size_t>(note.gap_after * rate), 0);
}

void put32(std::FILE* file, uint32_t value) {
    const uint8_t bytes[4] = {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)};
    std::fwrite(bytes, 1, 4, file);
}

void put16(std::FILE* file, uint16_t value) {
    const uint8_t bytes[2] = {uint8_t(value), uint8_t(value >> 8)};
    std::fwrite(bytes, 1, 2, file);
}
}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    std::vector<int16_t> samples;
    if (std::strcmp(argv[1], "start") == 0) {
        add_note(samples, {880.0, 1175.0, 0.12, 0.0});
    } else {
        add_note(samples, {784.0, 784.0, 0.09, 0.03});
        add_note(samples, {523.0, 523.0, 0.12, 0.0});
    }
    std::FILE* file = std::fopen(argv[2], "wb");
    if (!file) return 1;
    const uint32_t data_bytes = static_cast<uint32_t>(samples.size() * 2);
    std::fwrite("RIFF", 1, 4, file);
    put32(file, 36 + data_bytes);
    std::fwrite("WAVEfmt ", 1, 8, file);
    put32(file, 16);
    put16(file, 1);
    put16(file, 1);
    put32(file, rate);
    put32(file, rate * 2);
    put16(file, 2);
    put16(file, 16);
    std::fwrite("data", 1, 4, file);
    put32(file, data_bytes);
    for (int16_t sample : samples) put16(file, static_cast<uint16_t>(sample));
    return std::fclose(file) == 0 ? 0 : 1;
}
