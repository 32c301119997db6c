#include "audio/wav/wav_reader_adpcm.h"

WavReaderADPCM::WavReaderADPCM(const std::u16string& path) : WavReaderCoded(path, WavCodec::Adpcm) {
    if (!m_header_read) return;
    adpcm::Geometry geometry = adpcm::Geometry::from_block_align(m_header.channels, m_header.block_align);
    // A block may hold fewer samples than its size allows, never more.
    if (!geometry.is_valid() || m_header.samples_per_block < 2 ||
        m_header.samples_per_block > geometry.samples_per_block) {
        return;
    }
    geometry.samples_per_block = m_header.samples_per_block;
    m_geometry = geometry;
    accept(geometry.channels, geometry.block_align, geometry.samples_per_block);
}

bool WavReaderADPCM::decode(const std::uint8_t* block, std::int16_t* pcm) {
    return adpcm::decode_block(m_geometry, block, pcm);
}
