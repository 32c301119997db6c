#pragma once
// The Microsoft ADPCM WAV stream reader (format tag 2, 4 bits, 1 or 2 channels, the 7 standard
// coefficient pairs).
#include "audio/wav/adpcm_codec.h"
#include "audio/wav/wav_reader_coded.h"

class WavReaderADPCM : public WavReaderCoded {
public:
    explicit WavReaderADPCM(const std::u16string& path);

protected:
    bool decode(const std::uint8_t* block, std::int16_t* pcm) override;

private:
    adpcm::Geometry m_geometry;
};
