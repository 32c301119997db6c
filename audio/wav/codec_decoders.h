#pragma once
// Decoders for the speech codecs, used by their file readers: whole coded blocks in, 16-bit PCM
// blocks out. A decoder keeps the codec state of one stream.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "audio/audio_block.h"
#include "audio/wav/adpcm_codec.h"
#include "audio/wav/gsm_codec.h"

class AdpcmDecoder {
public:
    // The geometry as the file's header states it.
    AdpcmDecoder(int channels, int rate, int block_align);

    bool is_valid() const { return m_geometry.is_valid(); }
    const adpcm::Geometry& geometry() const { return m_geometry; }
    // n whole blocks in, up to n × samples per block frames out; a block with a predictor index
    // above 6 is rejected and adds nothing. Bytes past the last whole block are ignored.
    AudioBlock decode(const uint8_t* data, size_t length) const;

private:
    adpcm::Geometry m_geometry;
    int m_rate;
};

class GsmDecoder {
public:
    static constexpr AudioFormat kOutputFormat{1, 16, 8000};

    GsmDecoder();
    bool is_valid() const { return m_decoder->is_valid(); }
    // n × 65 bytes in, n × 320 samples out.
    AudioBlock decode(const uint8_t* data, size_t length);

private:
    std::unique_ptr<gsm610::Decoder> m_decoder;
};
