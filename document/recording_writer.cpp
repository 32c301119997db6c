#include "document/recording_writer.h"

#include <atomic>
#include <functional>
#include <mutex>

#include "audio/mp3/mp3_writer.h"
#include "audio/wav/codec_wav_writer.h"
#include "audio/wav/wav_file_writer.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/path.h"

namespace {

// The writer's input as the ActiveBuffer sees it. A checkpoint asked for by the GUI thread is done
// here, on the ActiveBuffer's thread, right after the next block: a write or a sync can take long on
// a slow card, and neither the GUI nor the capture thread may wait for it.
class CheckpointInput final : public AudioConsumer {
public:
    CheckpointInput(AudioConsumer& writer, std::u16string path, std::function<void()> push, std::function<bool()> sync)
        : m_writer(writer), m_path(std::move(path)), m_push(std::move(push)), m_sync(std::move(sync)) {}

    void on_data(const AudioBlock& block) override {
        {
            std::lock_guard<std::recursive_mutex> guard(m_writer.lock());
            m_writer.on_data(block);
        }
        const unsigned requested = m_requested.exchange(0);
        if (requested & durable_request) {
            sync();
        } else if (requested & push_request) {
            m_push();
        }
    }
    void request(bool durable) { m_requested.fetch_or(durable ? durable_request : push_request); }

private:
    static constexpr unsigned push_request = 1;
    static constexpr unsigned durable_request = 2;

    void sync() {
        if (!m_sync()) return;
        // The file's own entry in its folder: without it a synced file may still be gone after a
        // power cut. Once per recording is enough.
        if (!m_folder_synced && os::exists(m_path)) {
            m_folder_synced = true;
            if (!os::sync_folder(os::folder_of(m_path))) os::log() << u"checkpoint: folder sync failed\n";
        }
    }

    AudioConsumer& m_writer;
    std::u16string m_path;
    std::function<void()> m_push;
    std::function<bool()> m_sync;
    std::atomic<unsigned> m_requested{0};
    bool m_folder_synced = false;
};

class Mp3RecordingWriter final : public RecordingWriter {
public:
    Mp3RecordingWriter(const std::u16string& path, bool append, int32_t bit_rate)
        : m_writer(path, append, bit_rate),
          m_input(
              m_writer, path, [this] { m_writer.file_writer().flush(); },
              [this] { return m_writer.file_writer().sync(); }) {}
    AudioConsumer& input() override { return m_input; }
    bool is_valid() const override { return m_writer.is_valid(); }
    void checkpoint(bool durable) override { m_input.request(durable); }

private:
    Mp3Writer m_writer;
    CheckpointInput m_input;
};

class PcmRecordingWriter final : public RecordingWriter {
public:
    PcmRecordingWriter(const std::u16string& path, bool append)
        : m_writer(path, append, WavCodec::Pcm),
          m_input(
              m_writer, path, [this] { m_writer.update_header(); }, [this] { return m_writer.sync(); }) {}
    AudioConsumer& input() override { return m_input; }
    bool is_valid() const override { return m_writer.is_valid(); }
    void checkpoint(bool durable) override { m_input.request(durable); }

private:
    WavFileWriter m_writer;
    CheckpointInput m_input;
};

class CodecRecordingWriter final : public RecordingWriter {
public:
    CodecRecordingWriter(std::unique_ptr<CodecWavWriter> writer, const std::u16string& path)
        : m_writer(std::move(writer)),
          m_input(
              *m_writer, path, [this] { m_writer->update_header(); }, [this] { return m_writer->sync(); }) {}
    AudioConsumer& input() override { return m_input; }
    bool is_valid() const override { return m_writer->is_valid(); }
    void checkpoint(bool durable) override { m_input.request(durable); }

private:
    std::unique_ptr<CodecWavWriter> m_writer;
    CheckpointInput m_input;
};

}  // namespace

std::unique_ptr<RecordingWriter> RecordingWriter::create(const std::u16string& path, const std::u16string& codec,
                                                         int32_t bit_rate, bool append) {
    if (codec == u"mp3") return std::make_unique<Mp3RecordingWriter>(path, append, bit_rate);
    if (codec == u"PCM") return std::make_unique<PcmRecordingWriter>(path, append);
    if (codec == u"ADPCM") {
        return std::make_unique<CodecRecordingWriter>(CodecWavWriter::create_adpcm(path, append), path);
    }
    if (codec == u"GSM") return std::make_unique<CodecRecordingWriter>(CodecWavWriter::create_gsm(path, append), path);
    return nullptr;
}
