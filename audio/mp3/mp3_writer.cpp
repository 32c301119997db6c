#include "audio/mp3/mp3_writer.h"

#include <mutex>
#include <vector>

#include "audio/mp3/mp3_info_frame.h"

namespace {

// Where the audio of a file begins: after its ID3v2 tag, if it has one.
int64_t audio_start(FileWriterMP3& file) {
    uint8_t header[10];
    if (file.read_at(0, header, sizeof header) != sizeof header) return 0;
    if (header[0] != 'I' || header[1] != 'D' || header[2] != '3') return 0;
    const int64_t size =
        (header[6] & 0x7F) << 21 | (header[7] & 0x7F) << 14 | (header[8] & 0x7F) << 7 | (header[9] & 0x7F);
    return 10 + size + ((header[5] & 0x10) ? 10 : 0);
}

}  // namespace

Mp3Writer::Mp3Writer(std::u16string path, bool append, int32_t bit_rate)
    : m_encoder(std::make_unique<Mp3Encoder>(bit_rate)),
      m_file_writer(std::make_unique<FileWriterMP3>(std::move(path), append)) {
    m_stream_start = m_file_writer->initial_size();
    m_audio_start = append ? audio_start(*m_file_writer) : 0;
    // A file that already holds audio keeps its own info frame, which is extended at the end;
    // a new stream gets one of its own.
    m_continuing = m_file_writer->is_valid() && m_stream_start > m_audio_start;
    m_encoder->set_info_frame(!m_continuing);
    connect(*m_encoder, m_file_writer.get());
}

Mp3Writer::~Mp3Writer() {
    m_encoder->finish();
    connect(*m_encoder, nullptr);
    if (!m_file_writer->is_valid() || m_encoder->frames_encoded() == 0) return;
    if (!m_continuing) {
        // Only a single stream can be described by its first frame.
        const std::vector<uint8_t>& info = m_encoder->info_frame();
        if (m_encoder->streams() == 1 && !info.empty()) {
            m_file_writer->write_at(m_stream_start, info.data(), info.size());
        }
        return;
    }
    std::vector<uint8_t> first(2048);
    first.resize(m_file_writer->read_at(m_audio_start, first.data(), first.size()));
    if (mp3_info::extend(first, static_cast<uint32_t>(m_encoder->frames_encoded()),
                         static_cast<uint32_t>(m_encoder->bytes_encoded()), m_encoder->end_padding())) {
        m_file_writer->write_at(m_audio_start, first.data(), first.size());
    }
}

void Mp3Writer::on_data(const AudioBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(m_encoder->lock());
    m_encoder->on_data(block);
}
