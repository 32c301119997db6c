#include "document/recording_writer.h"

#include "audio/mp3/mp3_writer.h"
#include "audio/wav/codec_wav_writer.h"
#include "audio/wav/wav_file_writer.h"

namespace {

class Mp3RecordingWriter final : public RecordingWriter {
public:
    Mp3RecordingWriter(const std::u16string& path, bool append, int32_t bit_rate) : m_writer(path, append, bit_rate) {}
    AudioConsumer& input() override { return m_writer; }
    bool is_valid() const override { return m_writer.is_valid(); }
    void checkpoint() override { m_writer.file_writer().flush(); }

private:
    Mp3Writer m_writer;
};

class PcmRecordingWriter final : public RecordingWriter {
public:
    PcmRecordingWriter(const std::u16string& path, bool append) : m_writer(path, append, WavCodec::Pcm) {}
    AudioConsumer& input() override { return m_writer; }
    bool is_valid() const override { return m_writer.is_valid(); }
    void checkpoint() override { m_writer.update_header(); }

private:
    WavFileWriter m_writer;
};

class CodecRecordingWriter final : public RecordingWriter {
public:
    explicit CodecRecordingWriter(std::unique_ptr<CodecWavWriter> writer) : m_writer(std::move(writer)) {}
    AudioConsumer& input() override { return *m_writer; }
    bool is_valid() const override { return m_writer->is_valid(); }
    void checkpoint() override { m_writer->update_header(); }

private:
    std::unique_ptr<CodecWavWriter> m_writer;
};

}  // namespace

std::unique_ptr<RecordingWriter> RecordingWriter::create(const std::u16string& path, const std::u16string& codec,
                                                         int32_t bit_rate, bool append) {
    if (codec == u"mp3") return std::make_unique<Mp3RecordingWriter>(path, append, bit_rate);
    if (codec == u"PCM") return std::make_unique<PcmRecordingWriter>(path, append);
    if (codec == u"ADPCM") return std::make_unique<CodecRecordingWriter>(CodecWavWriter::create_adpcm(path, append));
    if (codec == u"GSM") return std::make_unique<CodecRecordingWriter>(CodecWavWriter::create_gsm(path, append));
    return nullptr;
}
