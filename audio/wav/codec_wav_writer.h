#pragma once
// A speech-codec WAV writer: the collector and encoder of the codec feeding the WAV writer with the
// codec's header part, presented as one consumer so the recording chain links to it like any
// other writer. Destruction codes the last, partly filled block padded with silence, so the file
// keeps the end of the recording and its "fact" count says how many samples are real.
//
// on_data runs on the ActiveBuffer's thread under this node's lock, then the encoder's and the
// WAV writer's locks in chain order. is_valid may be read from any thread.
#include <memory>
#include <string>

#include "audio/audio_node.h"
#include "audio/wav/block_collector.h"
#include "audio/wav/wav_file_writer.h"

class CodecWavWriter : public AudioConsumer {
public:
    // Microsoft ADPCM at the block size the input's rate asks for (16-bit mono or stereo input).
    static std::unique_ptr<CodecWavWriter> create_adpcm(std::u16string path, bool continue_file);
    // GSM 06.10 (8000 Hz 16-bit mono input).
    static std::unique_ptr<CodecWavWriter> create_gsm(std::u16string path, bool continue_file);

    CodecWavWriter(std::unique_ptr<BlockCollector> encoder, std::unique_ptr<WavFileWriter> file_writer);
    ~CodecWavWriter() override;

    void on_data(const AudioBlock& block) override;

    bool is_valid() const { return m_file_writer->is_valid(); }
    int32_t bit_rate() const { return m_file_writer->bit_rate(); }
    int64_t frames_written() const { return m_file_writer->frames_written(); }
    void update_header() { m_file_writer->update_header(); }
    bool sync() { return m_file_writer->sync(); }
    AudioFilter& encoder() { return *m_encoder; }

private:
    std::unique_ptr<BlockCollector> m_encoder;
    std::unique_ptr<WavFileWriter> m_file_writer;
};
