#pragma once
// The RIFF/WAVE header of our PCM, Microsoft ADPCM and GSM 06.10 recordings, read and written
// through os::File. All integers in the file are little-endian.
//
// A file we create has the chunks "RIFF" "WAVE" "fmt " ["fact"] "data" back to back, so its data
// starts at 44 (PCM), 60 (GSM) or 90 (ADPCM). Files from elsewhere may carry other chunks between
// "fmt " and "data"; they are skipped when reading, and when such a file is continued only the
// size fields are patched so its other chunks stay intact.
#include <array>
#include <cstdint>
#include <vector>

namespace os {
class File;
}

enum class WavCodec { Pcm, Adpcm, Gsm };

struct WavHeader {
    static constexpr uint16_t kTagPcm = 1;
    static constexpr uint16_t kTagAdpcm = 2;
    static constexpr uint16_t kTagGsm = 49;

    uint16_t format_tag = kTagPcm;
    uint16_t channels = 0;
    uint32_t sample_rate = 0;
    uint32_t average_bytes_per_second = 0;
    uint16_t block_align = 0;
    uint16_t bits_per_sample = 0;
    uint32_t riff_size = 0;
    uint32_t fmt_size = 16;
    uint32_t data_size = 0;
    uint32_t data_start = 44;
    // GSM and ADPCM only.
    uint16_t samples_per_block = 0;
    uint32_t fact_count = 0;
    // ADPCM only.
    std::vector<std::array<int16_t, 2>> coefficients;
    // Where the fact count lies in the file (0 without a fact chunk).
    uint32_t fact_position = 0;

    // A fresh header for a new file of the codec: tag, fmt size, data start, and for GSM its
    // whole fixed format. The PCM and ADPCM writers fill in the rest from their first block.
    static WavHeader for_new_file(WavCodec codec);
    // Data start of a file we lay out ourselves.
    static uint32_t canonical_data_start(WavCodec codec);

    // Parses the file from its start as a WAV of the codec and checks that the codec can take it
    // (PCM: tag 1; GSM: tag 49, mono, 8000 Hz, 320 samples in 65 bytes; ADPCM: tag 2, 1 or 2
    // channels, 4 bits, 7 coefficient pairs). Leaves the file at the first data byte.
    bool read_header(os::File& file, WavCodec codec);
    // Writes the header at the start of the file with riff_size = data_start + data_size - 8, and
    // returns true only if every byte was written. Leaves the file position after the header.
    bool write_header(os::File& file, WavCodec codec);

    // The bytes of our own layout for the codec (44, 60 or 90 of them).
    std::vector<uint8_t> serialize(WavCodec codec) const;
};
