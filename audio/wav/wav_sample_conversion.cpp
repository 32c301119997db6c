#include "audio/wav/wav_sample_conversion.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace wav_samples {

int playback_channels(const WavStreamFormat& format) { return std::min(format.channels, 2); }

std::int16_t mulaw_to_linear(std::uint8_t code) {
    code = static_cast<std::uint8_t>(~code);
    int t = ((code & 0x0F) << 3) + 0x84;
    t <<= (code & 0x70) >> 4;
    return static_cast<std::int16_t>((code & 0x80) ? (0x84 - t) : (t - 0x84));
}

std::int16_t alaw_to_linear(std::uint8_t code) {
    code ^= 0x55;
    int t = (code & 0x0F) << 4;
    const int segment = (code & 0x70) >> 4;
    if (segment == 0) {
        t += 8;
    } else {
        t += 0x108;
        if (segment > 1) t <<= segment - 1;
    }
    return static_cast<std::int16_t>((code & 0x80) ? t : -t);
}

namespace {

std::int32_t float_to_full_scale(double value) {
    // Halves away from zero, clipped: how sox reads float samples.
    const double scaled = value * 2147483648.0;
    if (std::isnan(scaled)) return 0;
    if (scaled < 0) return scaled <= -2147483648.5 ? INT32_MIN : static_cast<std::int32_t>(scaled - 0.5);
    return scaled >= 2147483647.5 ? INT32_MAX : static_cast<std::int32_t>(scaled + 0.5);
}

}  // namespace

std::int32_t widen(const WavStreamFormat& format, const std::uint8_t* p) {
    switch (format.encoding) {
        case WavSampleEncoding::MuLaw:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(mulaw_to_linear(p[0])) << 16);
        case WavSampleEncoding::ALaw:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(alaw_to_linear(p[0])) << 16);
        case WavSampleEncoding::Float:
            if (format.bits == 64) {
                double value;
                std::memcpy(&value, p, sizeof value);
                return float_to_full_scale(value);
            } else {
                float value;
                std::memcpy(&value, p, sizeof value);
                return float_to_full_scale(value);
            }
        case WavSampleEncoding::Integer:
            break;
    }
    switch (format.bits) {
        case 8:
            return static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0] ^ 0x80) << 24);
        case 16:
            return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 16) |
                                             (static_cast<std::uint32_t>(p[1]) << 24));
        case 24:
            return static_cast<std::int32_t>((static_cast<std::uint32_t>(p[0]) << 8) |
                                             (static_cast<std::uint32_t>(p[1]) << 16) |
                                             (static_cast<std::uint32_t>(p[2]) << 24));
        default:
            return static_cast<std::int32_t>(
                static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
                (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24));
    }
}

std::int16_t narrow(std::int64_t full_scale) {
    const std::int64_t rounded = (full_scale + 0x8000) >> 16;
    return static_cast<std::int16_t>(std::clamp<std::int64_t>(rounded, INT16_MIN, INT16_MAX));
}

void convert(const WavStreamFormat& format, const std::uint8_t* stored, std::size_t frames, std::int16_t* out) {
    const int channels = format.channels;
    const int bytes = format.bits / 8;
    if (channels <= 2) {
        for (std::size_t i = 0; i < frames * static_cast<std::size_t>(channels); ++i) {
            out[i] = narrow(widen(format, stored + i * bytes));
        }
        return;
    }
    for (std::size_t frame = 0; frame < frames; ++frame) {
        const std::uint8_t* in = stored + frame * static_cast<std::size_t>(format.block_align);
        std::int64_t sum[2] = {0, 0};
        int count[2] = {0, 0};
        for (int c = 0; c < channels; ++c) {
            const std::int64_t value = widen(format, in + c * bytes);
            if (c == channels - 1 && channels % 2 == 1) {
                sum[0] += value;
                sum[1] += value;
                ++count[0];
                ++count[1];
            } else {
                sum[c % 2] += value;
                ++count[c % 2];
            }
        }
        out[2 * frame] = narrow(sum[0] / count[0]);
        out[2 * frame + 1] = narrow(sum[1] / count[1]);
    }
}

}  // namespace wav_samples
