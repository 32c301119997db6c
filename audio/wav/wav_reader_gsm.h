#pragma once
// The GSM 06.10 WAV stream reader (format tag 49, WAV49 packing): 8000 Hz mono only, 320 samples
// in each 65-byte block.
#include <memory>

#include "audio/wav/gsm_codec.h"
#include "audio/wav/wav_reader_coded.h"

class WavReaderGSM : public WavReaderCoded {
public:
    explicit WavReaderGSM(const std::u16string& path);

protected:
    bool decode(const std::uint8_t* block, std::int16_t* pcm) override;
    // The library's state runs from block to block; a seek starts it afresh.
    void restart() override;

private:
    std::unique_ptr<gsm610::Decoder> m_decoder;
};
