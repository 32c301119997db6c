#pragma once
// The layout of a RIFF/WAVE (or RF64) file as other programs write it, for playing it: chunks in
// any order before "data" (JUNK, bext of Broadcast WAV, LIST...), WAVE_FORMAT_EXTENSIBLE, integer
// samples of 8 to 32 bits, float samples, µ-law and A-law, any number of channels, and RF64's
// 64-bit sizes. Writing and continuing files stays with WavHeader, which knows our own layouts.
#include <cstdint>

namespace os {
class File;
}

enum class WavSampleEncoding {
    Integer,  // signed little-endian (unsigned for 8 bits)
    Float,    // IEEE 754 little-endian, 32 or 64 bits
    MuLaw,    // G.711 µ-law, 8 bits
    ALaw,     // G.711 A-law, 8 bits
};

struct WavStreamFormat {
    static constexpr std::uint16_t kTagPcm = 1;
    static constexpr std::uint16_t kTagFloat = 3;
    static constexpr std::uint16_t kTagALaw = 6;
    static constexpr std::uint16_t kTagMuLaw = 7;
    static constexpr std::uint16_t kTagExtensible = 0xFFFE;

    WavSampleEncoding encoding = WavSampleEncoding::Integer;
    // The tag that says how samples are coded: the sub-format's for an EXTENSIBLE file.
    std::uint16_t format_tag = 0;
    bool extensible = false;
    bool rf64 = false;
    int channels = 0;
    int rate = 0;
    // Bits each sample takes in the file (the container size, a multiple of 8).
    int bits = 0;
    int block_align = 0;
    std::int64_t data_start = 0;
    // As the header says; may point past the end of a cut file.
    std::int64_t data_size = 0;

    // Whether the samples can go to the player as they are: 8- or 16-bit integers, one or two channels.
    bool is_playable_as_stored() const;
};

// Reads the file from its start. False when it is no RIFF/RF64 WAVE file, has no "fmt " before its
// "data", or its samples are coded in a way listed above with sizes that agree with each other.
// Leaves the file position unspecified.
bool read_wav_stream_format(os::File& file, WavStreamFormat& out);
