#include "audio/wav/codec_wav_writer.h"

#include <mutex>

#include "audio/wav/adpcm_encoder.h"
#include "audio/wav/gsm_encoder.h"

std::unique_ptr<CodecWavWriter> CodecWavWriter::create_adpcm(std::u16string path, bool continue_file) {
    return std::make_unique<CodecWavWriter>(
        std::make_unique<AdpcmEncoder>(),
        std::make_unique<WavFileWriter>(std::move(path), continue_file, WavCodec::Adpcm));
}

std::unique_ptr<CodecWavWriter> CodecWavWriter::create_gsm(std::u16string path, bool continue_file) {
    return std::make_unique<CodecWavWriter>(
        std::make_unique<GsmEncoder>(), std::make_unique<WavFileWriter>(std::move(path), continue_file, WavCodec::Gsm));
}

CodecWavWriter::CodecWavWriter(std::unique_ptr<BlockCollector> encoder, std::unique_ptr<WavFileWriter> file_writer)
    : m_encoder(std::move(encoder)), m_file_writer(std::move(file_writer)) {
    connect(*m_encoder, m_file_writer.get());
}

CodecWavWriter::~CodecWavWriter() {
    {
        std::lock_guard<std::recursive_mutex> guard(m_encoder->lock());
        m_file_writer->leave_out_of_count(m_encoder->finish());
    }
    // Unlink before the WAV writer goes, so its final header is written with nothing in flight.
    connect(*m_encoder, nullptr);
}

void CodecWavWriter::on_data(const AudioBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(m_encoder->lock());
    m_encoder->on_data(block);
}
