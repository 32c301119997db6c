#include "audio/wav/codec_decoders.h"

#include <cstring>
#include <vector>

AdpcmDecoder::AdpcmDecoder(int channels, int rate, int block_align)
    : m_geometry(adpcm::Geometry::from_block_align(channels, block_align)), m_rate(rate) {}

AudioBlock AdpcmDecoder::decode(const uint8_t* data, size_t length) const {
    if (!is_valid()) return AudioBlock();
    const size_t blocks = length / static_cast<size_t>(m_geometry.block_align);
    const size_t frame_bytes = static_cast<size_t>(m_geometry.pcm_bytes());
    AudioBlock out(blocks * frame_bytes, AudioFormat{m_geometry.channels, 16, m_rate});
    std::vector<int16_t> pcm(frame_bytes / 2);
    size_t produced = 0;
    for (size_t i = 0; i < blocks; ++i) {
        if (!adpcm::decode_block(m_geometry, data + i * m_geometry.block_align, pcm.data())) continue;
        std::memcpy(out.data() + produced, pcm.data(), frame_bytes);
        produced += frame_bytes;
    }
    return produced == 0 ? AudioBlock() : out.sub_block(0, produced);
}

GsmDecoder::GsmDecoder() : m_decoder(std::make_unique<gsm610::Decoder>()) {}

AudioBlock GsmDecoder::decode(const uint8_t* data, size_t length) {
    const size_t blocks = length / gsm610::kBlockAlign;
    if (blocks == 0 || !is_valid()) return AudioBlock();
    AudioBlock out(blocks * gsm610::kSamplesPerBlock * 2, kOutputFormat);
    int16_t pcm[gsm610::kSamplesPerBlock];
    for (size_t i = 0; i < blocks; ++i) {
        m_decoder->decode(data + i * gsm610::kBlockAlign, pcm);
        std::memcpy(out.data() + i * sizeof pcm, pcm, sizeof pcm);
    }
    return out;
}
