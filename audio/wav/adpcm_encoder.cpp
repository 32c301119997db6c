#include "audio/wav/adpcm_encoder.h"

#include <cstdint>
#include <cstring>
#include <vector>

size_t AdpcmEncoder::pcm_block_bytes(const AudioFormat& format) const {
    if (format.bits != 16 || format.rate <= 0) return 0;
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(format.channels, format.rate);
    return geometry.is_valid() ? static_cast<size_t>(geometry.pcm_bytes()) : 0;
}

AudioBlock AdpcmEncoder::transform(const AudioBlock& block) {
    if (block.bits() != 16 || block.rate() <= 0) return AudioBlock();
    const adpcm::Geometry geometry = adpcm::Geometry::for_format(block.channels(), block.rate());
    if (!geometry.is_valid() || block.length() != static_cast<size_t>(geometry.pcm_bytes())) return AudioBlock();

    const auto* samples = reinterpret_cast<const int16_t*>(block.data());
    std::vector<int16_t> aligned;
    if (reinterpret_cast<uintptr_t>(block.data()) % alignof(int16_t) != 0) {
        aligned.resize(block.length() / 2);
        std::memcpy(aligned.data(), block.data(), block.length());
        samples = aligned.data();
    }
    AudioBlock out(static_cast<size_t>(geometry.block_align), AudioFormat{block.channels(), 4, block.rate()});
    m_last_predictor = adpcm::encode_block(geometry, samples, out.data());
    return out;
}
