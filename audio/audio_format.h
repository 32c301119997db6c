#pragma once
// The format of raw PCM samples carried by every block: little-endian signed 16-bit or unsigned
// 8-bit centred on 128, channels interleaved. All derived sizes are computed here so every node
// agrees on them.
#include <cstddef>
#include <cstdint>

struct AudioFormat {
    int32_t channels = 0;  // 1 mono, 2 stereo
    int32_t bits = 0;      // bits per sample, 8 or 16
    int32_t rate = 0;      // sample frames per second

    // Bytes of one sample frame: channels × ((bits + 7) / 8).
    constexpr int32_t block_align() const { return channels * ((bits + 7) / 8); }
    // Sample frames in a run of bytes; 0 when the format has no frame size.
    constexpr int32_t frames(std::size_t length) const {
        const int32_t align = block_align();
        return align > 0 ? static_cast<int32_t>(length / static_cast<std::size_t>(align)) : 0;
    }
    // Bits per second of the stored samples: whole bytes per sample, so 8 kHz 16-bit mono is 128,000.
    // (Dividing (bits + 7) × rate × channels by 8 before rounding would count 23 bits per 16-bit
    // sample and report 184,000.)
    constexpr int32_t bit_rate() const { return rate * ((bits + 7) / 8) * channels * 8; }
    // Bytes per second of the raw samples.
    constexpr int32_t byte_rate() const { return rate * block_align(); }
    // The 0/0/0 format of the empty block.
    constexpr bool is_empty() const { return channels == 0 && bits == 0 && rate == 0; }

    friend constexpr bool operator==(const AudioFormat&, const AudioFormat&) = default;
};
