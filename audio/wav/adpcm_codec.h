#pragma once
// Microsoft ADPCM (format tag 2): 4-bit codes against a choice of seven second-order predictors,
// in blocks that start with a 7-byte header per channel. Plain functions over byte buffers; the
// nodes that cut PCM into blocks and feed them to a file live beside this file.
#include <array>
#include <cstddef>
#include <cstdint>

namespace adpcm {

// The seven coefficient pairs, as written into the "fmt " chunk of every ADPCM file.
inline constexpr int kCoefficientCount = 7;
inline constexpr std::array<std::array<int16_t, 2>, kCoefficientCount> kCoefficients{{
    {256, 0},
    {512, -256},
    {0, 0},
    {192, 64},
    {240, 0},
    {460, -208},
    {392, -232},
}};

inline constexpr int kHeaderBytesPerChannel = 7;
// Largest block any rate asks for: two channels above 96 kHz.
inline constexpr int kMaxBlockAlign = 4096;

// Block size and samples per block for a PCM format (16-bit, 1 or 2 channels).
struct Geometry {
    int channels = 0;
    int block_align = 0;        // bytes per ADPCM block
    int samples_per_block = 0;  // frames per block, per channel

    static Geometry for_format(int channels, int rate);
    // Geometry as a file states it; zero fields when the numbers do not fit together.
    static Geometry from_block_align(int channels, int block_align);
    bool is_valid() const { return channels > 0 && block_align > 0 && samples_per_block >= 2; }
    // Bytes of 16-bit PCM that one block holds.
    int pcm_bytes() const { return samples_per_block * channels * 2; }
};

// Encodes one block: `pcm` holds geometry.samples_per_block interleaved 16-bit frames, `out`
// receives geometry.block_align bytes. All seven predictors are tried and the one with the
// smallest maximum error over the block is kept (the lowest index on ties). Returns the chosen
// predictor index.
int encode_block(const Geometry& geometry, const int16_t* pcm, uint8_t* out);

// Decodes one block of geometry.block_align bytes into samples_per_block interleaved frames.
// Returns false (and writes nothing) for a block whose predictor index is above 6.
bool decode_block(const Geometry& geometry, const uint8_t* block, int16_t* pcm);

}  // namespace adpcm
