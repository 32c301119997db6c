#pragma once
// The GSM 06.10 encoder node: 8000 Hz 16-bit mono PCM in, one 65-byte WAV49 block out per 320
// samples. Output blocks are marked 1 channel, 0 bits, 8000 Hz, as the file header states them.
#include <memory>

#include "audio/wav/block_collector.h"
#include "audio/wav/gsm_codec.h"

class GsmEncoder : public BlockCollector {
public:
    static constexpr AudioFormat kCodedFormat{1, 0, 8000};
    // The only PCM format GSM 06.10 takes.
    static constexpr AudioFormat kInputFormat{1, 16, 8000};

protected:
    size_t pcm_block_bytes(const AudioFormat& format) const override;
    AudioBlock transform(const AudioBlock& block) override;

private:
    std::unique_ptr<gsm610::Encoder> m_encoder;
};
