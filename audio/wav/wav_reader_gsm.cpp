#include "audio/wav/wav_reader_gsm.h"

WavReaderGSM::WavReaderGSM(const std::u16string& path) : WavReaderCoded(path, WavCodec::Gsm) {
    // read_header has already refused anything but 8000 Hz mono with 320 samples in 65 bytes.
    if (!m_header_read) return;
    m_decoder = std::make_unique<gsm610::Decoder>();
    if (!m_decoder->is_valid()) return;
    accept(1, gsm610::kBlockAlign, gsm610::kSamplesPerBlock);
}

bool WavReaderGSM::decode(const std::uint8_t* block, std::int16_t* pcm) { return m_decoder->decode(block, pcm); }

void WavReaderGSM::restart() { m_decoder = std::make_unique<gsm610::Decoder>(); }
