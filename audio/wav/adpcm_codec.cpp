#include "audio/wav/adpcm_codec.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace adpcm {
namespace {

constexpr std::array<int, 16> kAdaptation{230, 230, 230, 230, 307, 409, 512, 614,
                                          768, 614, 512, 409, 307, 230, 230, 230};

// A hostile file can repeat the largest code until the step overflows; no file we write comes
// anywhere near this bound (the encoder's own step stays below 70,000).
constexpr int kMaxDelta = INT_MAX / 768;

struct ChannelState {
    int delta = 16;
    int sample1 = 0;
    int sample2 = 0;
    int k1 = 0;
    int k2 = 0;
};

int clamp16(int value) { return std::clamp(value, -32768, 32767); }

int16_t read16(const uint8_t* p) { return static_cast<int16_t>(p[0] | (p[1] << 8)); }

void write16(uint8_t* p, int value) {
    p[0] = static_cast<uint8_t>(value & 0xFF);
    p[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Codes one sample and returns its 4-bit code; `error` keeps the largest error seen so far.
inline int encode_sample(ChannelState& state, int x, int& error) {
    const int predicted = (state.sample1 * state.k1 + state.sample2 * state.k2) >> 8;
    int e = (x - predicted) / state.delta;
    e = std::clamp(e, -8, 7);
    const int value = clamp16(predicted + state.delta * e);
    const int difference = x > value ? x - value : value - x;
    if (difference > error) error = difference;
    const int code = e < 0 ? e + 16 : e;
    state.delta = std::max((kAdaptation[code] * state.delta) >> 8, 16);
    state.sample2 = state.sample1;
    state.sample1 = value;
    return code;
}

inline int decode_sample(ChannelState& state, int code) {
    const int predicted = (state.sample1 * state.k1 + state.sample2 * state.k2) >> 8;
    const int e = code >= 8 ? code - 16 : code;
    const int value = clamp16(predicted + state.delta * e);
    state.sample2 = state.sample1;
    state.sample1 = value;
    const long long product = static_cast<long long>(kAdaptation[code]) * state.delta;
    state.delta = product < 4096 ? 16 : static_cast<int>(std::min<long long>(product >> 8, kMaxDelta));
    return value;
}

// Codes the frames after the two header frames with one predictor for every channel. Gives up
// as soon as the block's error reaches `bound`: such a predictor can no longer win. Returns the
// block's maximum error, or `bound` when it gave up.
int encode_codes(const Geometry& geometry, const int16_t* pcm, int predictor, int bound, uint8_t* codes) {
    const int channels = geometry.channels;
    ChannelState states[2];
    for (int c = 0; c < channels; ++c) {
        states[c].k1 = kCoefficients[predictor][0];
        states[c].k2 = kCoefficients[predictor][1];
        states[c].sample1 = pcm[channels + c];
        states[c].sample2 = pcm[c];
    }
    int error = 0;
    const int frames = geometry.samples_per_block - 2;
    const int16_t* in = pcm + 2 * channels;
    if (channels == 1) {
        for (int i = 0; i < frames; i += 2) {
            const int high = encode_sample(states[0], in[i], error);
            const int low = i + 1 < frames ? encode_sample(states[0], in[i + 1], error) : 0;
            codes[i / 2] = static_cast<uint8_t>((high << 4) | low);
            if (error >= bound) return bound;
        }
    } else {
        for (int i = 0; i < frames; ++i) {
            const int left = encode_sample(states[0], in[2 * i], error);
            const int right = encode_sample(states[1], in[2 * i + 1], error);
            codes[i] = static_cast<uint8_t>((left << 4) | right);
            if (error >= bound) return bound;
        }
    }
    return error;
}

}  // namespace

Geometry Geometry::for_format(int channels, int rate) {
    Geometry geometry;
    if (channels < 1 || channels > 2) return geometry;
    int per_channel = 2048;
    if (rate < 22050) {
        per_channel = 256;
    } else if (rate < 44100) {
        per_channel = 512;
    } else if (rate < 96000) {
        per_channel = 1024;
    }
    return from_block_align(channels, channels * per_channel);
}

Geometry Geometry::from_block_align(int channels, int block_align) {
    Geometry geometry;
    if (channels < 1 || channels > 2) return geometry;
    if (block_align <= kHeaderBytesPerChannel * channels || block_align > kMaxBlockAlign) return geometry;
    geometry.channels = channels;
    geometry.block_align = block_align;
    geometry.samples_per_block = (block_align - kHeaderBytesPerChannel * channels) * 8 / (4 * channels) + 2;
    return geometry;
}

int encode_block(const Geometry& geometry, const int16_t* pcm, uint8_t* out) {
    const int channels = geometry.channels;
    const int header_bytes = kHeaderBytesPerChannel * channels;
    const int code_bytes = geometry.block_align - header_bytes;

    // Each predictor codes into its own scratch; the winner's codes are copied into the block.
    uint8_t scratch[2][kMaxBlockAlign];
    int best = 0;
    int best_error = 100000;
    int current = 0;
    for (int predictor = 0; predictor < kCoefficientCount; ++predictor) {
        const int error = encode_codes(geometry, pcm, predictor, best_error, scratch[current]);
        if (error < best_error) {
            best_error = error;
            best = predictor;
            current ^= 1;  // keep the winner, code the next candidate into the other scratch
        }
    }
    const uint8_t* codes = scratch[current ^ 1];

    uint8_t* p = out;
    for (int c = 0; c < channels; ++c) *p++ = static_cast<uint8_t>(best);
    for (int c = 0; c < channels; ++c, p += 2) write16(p, 16);
    for (int c = 0; c < channels; ++c, p += 2) write16(p, pcm[channels + c]);
    for (int c = 0; c < channels; ++c, p += 2) write16(p, pcm[c]);
    std::memcpy(p, codes, static_cast<size_t>(code_bytes));
    return best;
}

bool decode_block(const Geometry& geometry, const uint8_t* block, int16_t* pcm) {
    const int channels = geometry.channels;
    ChannelState states[2];
    const uint8_t* p = block;
    for (int c = 0; c < channels; ++c) {
        const int predictor = *p++;
        if (predictor >= kCoefficientCount) return false;
        states[c].k1 = kCoefficients[predictor][0];
        states[c].k2 = kCoefficients[predictor][1];
    }
    for (int c = 0; c < channels; ++c, p += 2) states[c].delta = read16(p);
    for (int c = 0; c < channels; ++c, p += 2) states[c].sample1 = read16(p);
    for (int c = 0; c < channels; ++c, p += 2) states[c].sample2 = read16(p);

    int16_t* out = pcm;
    for (int c = 0; c < channels; ++c) *out++ = static_cast<int16_t>(states[c].sample2);
    for (int c = 0; c < channels; ++c) *out++ = static_cast<int16_t>(states[c].sample1);
    const int frames = geometry.samples_per_block - 2;
    if (channels == 1) {
        for (int i = 0; i < frames; ++i) {
            const int byte = p[i / 2];
            const int code = (i % 2 == 0) ? byte >> 4 : byte & 0x0F;
            *out++ = static_cast<int16_t>(decode_sample(states[0], code));
        }
    } else {
        for (int i = 0; i < frames; ++i) {
            *out++ = static_cast<int16_t>(decode_sample(states[0], p[i] >> 4));
            *out++ = static_cast<int16_t>(decode_sample(states[1], p[i] & 0x0F));
        }
    }
    return true;
}

}  // namespace adpcm
