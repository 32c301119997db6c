#include "audio/readers/file_reader.h"

#include "audio/mp3/file_reader_mp3.h"
#include "audio/mp3/mp3_decoder.h"
#include "audio/musepack/file_reader_musepack.h"
#include "audio/stream/container_magic.h"
#include "audio/vorbis/file_reader_vorbis.h"
#include "audio/wav/wav_reader_adpcm.h"
#include "audio/wav/wav_reader_gsm.h"
#include "audio/wav/wav_reader_pcm.h"

namespace {

template <typename Reader>
std::unique_ptr<StreamReader> try_reader(const std::u16string& path) {
    auto reader = std::make_unique<Reader>(path);
    if (!reader->is_valid()) return nullptr;
    return reader;
}

}  // namespace

const char* FileReader::describe(Refusal refusal) {
    switch (refusal) {
        case Refusal::None:
            return "accepted";
        case Refusal::CannotOpen:
            return "cannot be opened";
        case Refusal::EmptyFile:
            return "the file is empty";
        case Refusal::UnsupportedWave:
            return "a WAV file in a format that cannot be played";
        case Refusal::UnsupportedOgg:
            return "an Ogg file that holds no playable Vorbis stream";
        case Refusal::UnsupportedMusepack:
            return "a Musepack file that cannot be played";
        case Refusal::NotAudio:
            return "no audio format recognised";
    }
    return "refused";
}

std::unique_ptr<FileReader> FileReader::open(const std::u16string& path, Refusal* refusal) {
    Refusal ignored = Refusal::None;
    Refusal& why = refusal ? *refusal : ignored;
    why = Refusal::None;
    bool readable = false;
    const Container container = container_of_file(path, &readable);
    if (!readable) {
        why = Refusal::CannotOpen;
        return nullptr;
    }
    // Each rejected reader is destroyed (closing its file) before the next one is tried.
    switch (container) {
        case Container::Empty:
            why = Refusal::EmptyFile;
            return nullptr;
        case Container::Wave:
            if (auto stream = try_reader<WavReaderPCM>(path)) {
                return std::make_unique<FileReader>(u"PCM", path, std::move(stream), nullptr);
            }
            if (auto stream = try_reader<WavReaderADPCM>(path)) {
                return std::make_unique<FileReader>(u"ADPCM", path, std::move(stream), nullptr);
            }
            if (auto stream = try_reader<WavReaderGSM>(path)) {
                return std::make_unique<FileReader>(u"GSM", path, std::move(stream), nullptr);
            }
            why = Refusal::UnsupportedWave;
            return nullptr;
        case Container::Ogg:
            if (auto stream = try_reader<FileReaderVorbis>(path)) {
                return std::make_unique<FileReader>(u"Vorbis", path, std::move(stream), nullptr);
            }
            why = Refusal::UnsupportedOgg;
            return nullptr;
        case Container::Musepack:
            if (auto stream = try_reader<FileReaderMusepack>(path)) {
                return std::make_unique<FileReader>(u"MPC", path, std::move(stream), nullptr);
            }
            why = Refusal::UnsupportedMusepack;
            return nullptr;
        case Container::Other:
            break;
    }
    if (auto stream = try_reader<FileReaderMP3>(path)) {
        auto decoder = std::make_unique<Mp3Decoder>(static_cast<const FileReaderMP3*>(stream.get()));
        return std::make_unique<FileReader>(u"mp3", path, std::move(stream), std::move(decoder));
    }
    why = Refusal::NotAudio;
    return nullptr;
}

FileReader::FileReader(std::u16string codec, std::u16string path, std::unique_ptr<StreamReader> stream,
                       std::unique_ptr<AudioFilter> decoder)
    : m_codec(std::move(codec)), m_path(std::move(path)), m_stream(std::move(stream)), m_decoder(std::move(decoder)) {
    if (m_decoder) connect(*m_stream, m_decoder.get());
}

FileReader::~FileReader() {
    // The decoder is unlinked first so nothing pulls through it while the stream goes away.
    if (m_decoder) connect(*m_stream, nullptr);
}

AudioPort& FileReader::output() {
    if (m_decoder) return *m_decoder;
    return *m_stream;
}

bool FileReader::seek(std::int64_t position) {
    if (!m_decoder) return m_stream->seek(position);
    // Under the decoder's lock no pull is half done: the frame the decoder asks about afterwards is
    // the one it was handed.
    std::lock_guard guard(m_decoder->lock());
    const bool done = m_stream->seek(position);
    if (auto* mp3 = dynamic_cast<Mp3Decoder*>(m_decoder.get())) mp3->reset();
    return done;
}
