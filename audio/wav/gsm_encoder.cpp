#include "audio/wav/gsm_encoder.h"

#include <cstdint>
#include <cstring>

size_t GsmEncoder::pcm_block_bytes(const AudioFormat& format) const {
    return format == kInputFormat ? gsm610::kSamplesPerBlock * 2 : 0;
}

AudioBlock GsmEncoder::transform(const AudioBlock& block) {
    if (block.format() != kInputFormat || block.length() != gsm610::kSamplesPerBlock * 2) return AudioBlock();
    if (!m_encoder) m_encoder = std::make_unique<gsm610::Encoder>();
    if (!m_encoder->is_valid()) return AudioBlock();
    int16_t samples[gsm610::kSamplesPerBlock];
    std::memcpy(samples, block.data(), sizeof samples);
    AudioBlock out(gsm610::kBlockAlign, kCodedFormat);
    m_encoder->encode(samples, out.data());
    return out;
}
