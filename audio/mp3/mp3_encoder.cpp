#include "audio/mp3/mp3_encoder.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstring>
#include <mutex>

#include "audio/mp3/mp3_info_frame.h"

namespace {

// LAME asks for at least 7,200 bytes for a flush: it may hand out several frames at once.
constexpr int kFlushBytes = 7200;

// Length in bytes of the layer III frame whose header starts at `h`; 0 when it is not one.
size_t frame_length(const uint8_t* h) {
    static constexpr int kKbps1[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
    static constexpr int kKbps2[16] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0};
    static constexpr int kRates[4] = {44100, 48000, 32000, 0};
    if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0 || ((h[1] >> 1) & 3) != 1) return 0;
    const int version = (h[1] >> 3) & 3;  // 3: MPEG 1, 2: MPEG 2, 0: MPEG 2.5
    if (version == 1) return 0;
    const int kbps = (version == 3 ? kKbps1 : kKbps2)[h[2] >> 4];
    const int rate = kRates[(h[2] >> 2) & 3] / (version == 3 ? 1 : version == 2 ? 2 : 4);
    if (kbps == 0 || rate == 0) return 0;
    const int padding = (h[2] >> 1) & 1;
    return static_cast<size_t>((version == 3 ? 144 : 72) * kbps * 1000 / rate + padding);
}

}  // namespace

// Owns one LAME handle and closes it.
class Mp3Encoder::LameStream {
public:
    explicit LameStream(lame_t handle) : handle(handle) {}
    ~LameStream() { lame_close(handle); }
    LameStream(const LameStream&) = delete;
    LameStream& operator=(const LameStream&) = delete;

    const lame_t handle;
};

Mp3Encoder::Mp3Encoder(int32_t bit_rate) : m_bit_rate(bit_rate) {}

Mp3Encoder::~Mp3Encoder() { finish(); }

bool Mp3Encoder::create_handle(int channels, int rate) {
    lame_t lame = lame_init();
    if (lame == nullptr) return false;
    lame_set_in_samplerate(lame, rate);
    lame_set_num_channels(lame, channels);
    lame_set_brate(lame, m_bit_rate / 1000);
    lame_set_bWriteVbrTag(lame, m_write_info ? 1 : 0);
    if (lame_init_params(lame) < 0) {
        lame_close(lame);
        return false;
    }
    m_lame = std::make_unique<LameStream>(lame);
    ++m_streams;
    m_stream_frames = 0;
    m_stream_bytes = 0;
    m_music_crc = 0;
    m_own_info = false;
    m_own_info_bytes = 0;
    m_info_frame.clear();
    if (m_write_info) start_own_info();
    m_frame_size = lame_get_framesize(lame);
    m_accumulator.assign(static_cast<size_t>(m_frame_size) * channels, 0);
    m_left.assign(static_cast<size_t>(m_frame_size), 0);
    m_right.assign(static_cast<size_t>(m_frame_size), 0);
    m_fill = 0;
    return true;
}

void Mp3Encoder::drop_handle() {
    if (m_lame == nullptr) return;
    // The samples short of a whole frame are the last words of the recording: encode them too.
    if (m_fill > 0) encode_samples(static_cast<int>(m_fill) / m_channels);
    // What LAME still holds is the end of the recording: it goes to the file like every frame.
    std::vector<uint8_t> tail(kFlushBytes);
    const int produced = lame_encode_flush(m_lame->handle, tail.data(), kFlushBytes);
    if (produced > 0) emit(tail.data(), produced);
    emit_pending(m_pending.size());
    m_end_padding = lame_get_encoder_padding(m_lame->handle);
    if (m_own_info) {
        finish_own_info();
    } else if (m_write_info) {
        uint8_t frame[kScratchBytes];
        const size_t size = lame_get_lametag_frame(m_lame->handle, frame, sizeof frame);
        if (size <= sizeof frame) m_info_frame.assign(frame, frame + size);
    }
    m_lame.reset();
    m_fill = 0;
}

void Mp3Encoder::start_own_info() {
    const lame_t lame = m_lame->handle;
    // The header LAME's frames will carry: MPEG version by rate, layer III, no CRC.
    const int rate = lame_get_out_samplerate(lame);
    const int version = rate >= 32000 ? 3 : rate >= 16000 ? 2 : 0;
    const int base = rate * (version == 3 ? 1 : version == 2 ? 2 : 4);
    const int rate_index = base == 48000 ? 1 : base == 32000 ? 2 : 0;
    const int kbps = lame_get_brate(lame);
    static constexpr int kKbps1[15] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    static constexpr int kKbps2[15] = {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160};
    const int* table = version == 3 ? kKbps1 : kKbps2;
    int index = 1;
    while (index < 15 && table[index] != kbps) ++index;
    if (index == 15) return;
    const int mode = lame_get_mode(lame) == MONO ? 3 : 1;
    m_audio_header = {0xFF, static_cast<uint8_t>(0xE0 | (version << 3) | (1 << 1) | 1),
                      static_cast<uint8_t>((index << 4) | (rate_index << 2)), static_cast<uint8_t>((mode << 6) | 4)};
    if (mp3_info::frame_holds_tag(m_audio_header)) return;  // LAME writes its own
    mp3_info::StreamFacts facts;
    facts.audio_header = m_audio_header;
    const std::vector<uint8_t> placeholder = mp3_info::make_frame(facts);
    if (placeholder.empty()) return;
    m_own_info = true;
    m_own_info_bytes = placeholder.size();
    emit(placeholder.data(), static_cast<int>(placeholder.size()));
}

void Mp3Encoder::finish_own_info() {
    if (m_stream_frames < 2) return;
    const lame_t lame = m_lame->handle;
    mp3_info::StreamFacts facts;
    facts.audio_header = m_audio_header;
    facts.frames = static_cast<uint32_t>(m_stream_frames - 1);
    facts.bytes = static_cast<uint32_t>(m_stream_bytes);
    facts.delay = lame_get_encoder_delay(lame);
    facts.padding = m_end_padding;
    facts.lowpass_hz = lame_get_lowpassfreq(lame);
    facts.music_crc = m_music_crc;
    facts.encoder = std::string("LAME") + get_lame_short_version();
    facts.encoder.resize(9, ' ');
    m_info_frame = mp3_info::make_frame(facts);
    if (m_info_frame.size() != m_own_info_bytes) m_info_frame.clear();
}

void Mp3Encoder::finish() {
    std::lock_guard<std::recursive_mutex> guard(lock());
    drop_handle();
}

void Mp3Encoder::emit(const uint8_t* bytes, int count) {
    // LAME hands out bytes, not frames. Only whole frames go downstream, so whatever a writer
    // manages to store ends on a frame boundary and stays decodable.
    m_pending.insert(m_pending.end(), bytes, bytes + count);
    size_t whole = 0;
    while (m_pending.size() - whole >= 4) {
        const size_t length = frame_length(m_pending.data() + whole);
        if (length == 0) {
            whole = m_pending.size();  // not our framing after all: pass everything on
            break;
        }
        if (m_pending.size() - whole < length) break;
        // The info frame must describe the audio frames as LAME makes them.
        if (m_own_info && m_stream_frames == 1) std::copy_n(m_pending.data() + whole, 4, m_audio_header.begin());
        whole += length;
        ++m_frames_encoded;
        ++m_stream_frames;
    }
    emit_pending(whole);
}

void Mp3Encoder::emit_pending(size_t count) {
    if (count == 0) return;
    m_bytes_encoded += static_cast<int64_t>(count);
    // The music CRC covers the audio frames, not the info frame in front of them.
    const size_t info_left = m_own_info && m_stream_bytes < static_cast<int64_t>(m_own_info_bytes)
                                 ? m_own_info_bytes - static_cast<size_t>(m_stream_bytes)
                                 : 0;
    if (count > info_left) m_music_crc = mp3_info::crc16(m_music_crc, m_pending.data() + info_left, count - info_left);
    m_stream_bytes += static_cast<int64_t>(count);
    const AudioBlock block(m_pending.data(), count, AudioFormat{m_channels, 0, m_rate});
    m_pending.erase(m_pending.begin(), m_pending.begin() + static_cast<std::ptrdiff_t>(count));
    feed(*this, block);
}

void Mp3Encoder::encode_frame() { encode_samples(m_frame_size); }

void Mp3Encoder::encode_samples(int samples) {
    // Mono samples are already the left channel; the right one stays zero, as LAME ignores it.
    const int16_t* in = m_accumulator.data();
    const int16_t* left = in;
    if (m_channels == 2) {
        for (int i = 0; i < samples; ++i) {
            m_left[static_cast<size_t>(i)] = in[2 * i];
            m_right[static_cast<size_t>(i)] = in[2 * i + 1];
        }
        left = m_left.data();
    }
    const int produced =
        lame_encode_buffer(m_lame->handle, left, m_right.data(), samples, m_scratch.data(), kScratchBytes);
    // Often nothing comes out: LAME holds frames back for its bit reservoir.
    if (produced > 0) emit(m_scratch.data(), produced);
}

void Mp3Encoder::on_data(const AudioBlock& block) {
    std::lock_guard<std::recursive_mutex> guard(lock());
    if (block.is_empty() || block.channels() < 1 || block.channels() > 2 || block.rate() <= 0 || block.bits() != 16) {
        return;
    }
    if (block.channels() != m_channels || block.rate() != m_rate) {
        drop_handle();
        m_channels = block.channels();
        m_rate = block.rate();
    }
    if (m_lame == nullptr && !create_handle(m_channels, m_rate)) return;

    const size_t total = block.length() / 2;
    const uint8_t* bytes = block.data();
    size_t position = 0;
    while (position < total) {
        const size_t take = std::min(total - position, m_accumulator.size() - m_fill);
        std::memcpy(m_accumulator.data() + m_fill, bytes + position * 2, take * 2);
        m_fill += take;
        position += take;
        if (m_fill == m_accumulator.size()) {
            encode_frame();
            m_fill = 0;
        }
    }
}
