#pragma once
// Test fixtures for the readers: a private scratch folder (QUILLON_ROOT points at it), small files
// written byte by byte, and files made by the ecosystem's own encoders when they are installed.
#include <cstdint>
#include <string>
#include <vector>

namespace fixtures {

// A fresh folder for this test process; QUILLON_ROOT is set to it.
const std::string& scratch();
std::string path_in_scratch(const std::string& name);

void write_file(const std::string& path, const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> read_file(const std::string& path);

bool has_program(const std::string& name);
// Runs a shell command line quietly; true when it exits with 0.
bool run(const std::string& command);

// Interleaved 16-bit samples: a sine sweep with a second tone, loud enough to exercise the coders.
std::vector<std::int16_t> test_signal(int channels, int rate, double seconds);
// A canonical 44-byte-header PCM WAV.
std::vector<std::uint8_t> pcm_wav(const std::vector<std::int16_t>& samples, int channels, int rate);
// Samples of a PCM WAV written by a tool (any header layout), 16-bit only.
std::vector<std::int16_t> wav_samples(const std::string& path);
std::vector<std::int16_t> raw_samples(const std::string& path);

// Signal-to-noise ratio of `test` against `reference` in dB, after finding the best alignment
// within ±max_lag frames; compares the overlapping part.
double snr_db(const std::vector<std::int16_t>& reference, const std::vector<std::int16_t>& test, int channels,
              int max_lag, int* lag_found = nullptr);

}  // namespace fixtures
