#pragma once
// The Microsoft ADPCM encoder node: 16-bit mono or stereo PCM in, one ADPCM block out per
// samples-per-block frames. Output blocks carry the channels and rate of the input and 4 bits.
#include "audio/wav/adpcm_codec.h"
#include "audio/wav/block_collector.h"

class AdpcmEncoder : public BlockCollector {
public:
    // The predictor chosen for the last block; for tests and diagnostics.
    int last_predictor() const { return m_last_predictor; }

protected:
    size_t pcm_block_bytes(const AudioFormat& format) const override;
    // One whole PCM block in, one ADPCM block out; the empty block for anything else.
    AudioBlock transform(const AudioBlock& block) override;

private:
    int m_last_predictor = -1;
};
