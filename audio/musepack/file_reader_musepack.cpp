#include "audio/musepack/file_reader_musepack.h"

#include <mpc/mpcdec.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "audio/stream/file_callbacks.h"
#include "audio/stream/id3v2_header.h"

// What the library reads through. While a seek runs, the library walks the stream block by block
// with no test for the end of the file, so it would walk on for ever past the end of a cut file.
// Past the end it is therefore shown empty blocks of audio, which it counts off until it arrives,
// and the seek is reported as having left the data present.
//
// A damaged block size can also send the walk back onto a block it has passed (the library adds
// sizes in 32 bits, so a size near 2^29 wraps round to the same place), and then it walks in a
// circle inside its buffer without reading. It asks where the file stands at every step, though,
// so a walk that keeps asking without the file moving, or that goes back more than once, is given
// up: from then on it is shown the end of the file, and the seek fails.
struct MusepackSource {
    InputFile* file = nullptr;
    bool seeking = false;
    bool beyond = false;       // the library's position lies outside the file
    bool went_beyond = false;  // it did so during this seek
    bool given_up = false;     // this seek walked in a circle
    std::int64_t last_told = -1;
    std::int64_t same_tells = 0;
    int backward_seeks = 0;
    std::int64_t last_seek = -1;

    void start_seek() {
        seeking = true;
        beyond = went_beyond = given_up = false;
        last_told = last_seek = -1;
        same_tells = 0;
        backward_seeks = 0;
    }
    void give_up() { given_up = beyond = went_beyond = true; }
};

struct FileReaderMusepack::Decoder {
    mpc_reader reader{};
    MusepackSource source;
    mpc_demux* demux = nullptr;
    std::vector<MPC_SAMPLE_FORMAT> samples = std::vector<MPC_SAMPLE_FORMAT>(MPC_DECODER_BUFFER_LENGTH);

    ~Decoder() {
        if (demux != nullptr) mpc_demux_exit(demux);
    }
};

namespace {

MusepackSource& source_of(mpc_reader* reader) { return *static_cast<MusepackSource*>(reader->data); }

// An audio block ("AP") three bytes long, holding nothing.
constexpr unsigned char empty_block[3] = {'A', 'P', 3};

// A walk through the library's whole buffer of the smallest blocks asks a few times per block; a
// walk that asks far more often than that without the file moving is going round in circles.
constexpr std::int64_t most_tells_in_place = 1 << 18;

mpc_int32_t read_callback(mpc_reader* reader, void* buffer, mpc_int32_t size) {
    if (size <= 0) return 0;
    MusepackSource& source = source_of(reader);
    if (source.seeking && (source.beyond || source.file->position() >= source.file->size())) {
        source.beyond = source.went_beyond = true;
        auto* bytes = static_cast<unsigned char*>(buffer);
        for (mpc_int32_t i = 0; i < size; ++i) bytes[i] = empty_block[i % 3];
        return size;
    }
    return static_cast<mpc_int32_t>(source.file->read(buffer, static_cast<std::size_t>(size)));
}

mpc_bool_t seek_callback(mpc_reader* reader, mpc_int32_t offset) {
    MusepackSource& source = source_of(reader);
    if (source.seeking && !source.given_up) {
        // The walk goes forward from where the seek table put it; going back twice is a circle.
        if (source.last_seek >= 0 && offset < source.last_seek && ++source.backward_seeks > 1) source.give_up();
        source.last_seek = offset;
    }
    if (source.given_up) return MPC_TRUE;
    if (source.seeking && (offset < 0 || offset >= source.file->size())) {
        source.beyond = source.went_beyond = true;
        return MPC_TRUE;
    }
    source.beyond = false;
    return source.file->seek(offset) ? MPC_TRUE : MPC_FALSE;
}

mpc_int32_t tell_callback(mpc_reader* reader) {
    MusepackSource& source = source_of(reader);
    if (source.seeking && !source.given_up) {
        const std::int64_t at = source.file->position();
        source.same_tells = at == source.last_told ? source.same_tells + 1 : 0;
        source.last_told = at;
        if (source.same_tells > most_tells_in_place) source.give_up();
    }
    // Given up, the library is told it stands at the file's start, so every place it looks for
    // lies outside what it holds and is read through us: empty audio blocks, which end the walk.
    if (source.given_up) return 0;
    return static_cast<mpc_int32_t>(source.file->position());
}

mpc_int32_t size_callback(mpc_reader* reader) { return static_cast<mpc_int32_t>(source_of(reader).file->size()); }

mpc_bool_t can_seek_callback(mpc_reader*) { return MPC_TRUE; }

std::int16_t to_pcm16(MPC_SAMPLE_FORMAT sample) {
#ifdef MPC_FIXED_POINT
    if (sample < -0x20000000) return -32768;
    return static_cast<std::int16_t>(std::min(sample >> 14, 32767));
#else
    const float scaled = std::nearbyint(sample * 32768.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
#endif
}

// Stream version 7 begins "MP+" with 7 in the low nibble of the version byte; version 8 "MPCK".
bool has_musepack_magic(InputFile& file, std::int64_t at) {
    unsigned char magic[4] = {};
    if (!file.seek(at) || file.read(magic, 4) != 4) return false;
    return std::memcmp(magic, "MPCK", 4) == 0 || (std::memcmp(magic, "MP+", 3) == 0 && (magic[3] & 0x0F) == 7);
}

}  // namespace

FileReaderMusepack::FileReaderMusepack(const std::u16string& path) {
    if (!m_file.open(path)) return;
    // The library is handed only streams that carry Musepack's signature, after an ID3v2 tag if any.
    const Id3v2Header tag = read_id3v2_header(m_file);
    if (!has_musepack_magic(m_file, 0) && !(tag.present && has_musepack_magic(m_file, tag.size))) return;
    if (m_file.size() > std::numeric_limits<mpc_int32_t>::max() || !m_file.seek(0)) return;

    auto decoder = std::make_unique<Decoder>();
    decoder->source.file = &m_file;
    decoder->reader =
        mpc_reader{read_callback, seek_callback, tell_callback, size_callback, can_seek_callback, &decoder->source};
    decoder->demux = mpc_demux_init(&decoder->reader);
    if (decoder->demux == nullptr) return;
    mpc_streaminfo info{};
    mpc_demux_get_info(decoder->demux, &info);
    if (info.channels < 1 || info.channels > 2 || info.sample_freq == 0) return;
    m_channels = static_cast<int>(info.channels);
    m_rate = static_cast<int>(info.sample_freq);
    m_bit_rate = static_cast<int>(info.average_bitrate);
    m_total_frames = info.samples > info.beg_silence ? static_cast<std::int64_t>(info.samples - info.beg_silence) : 0;
    // A header may promise more samples than the file could hold; a seek walks at most one block
    // (version 8, at least 3 bytes each) or one frame (version 7, at least 20 bits) per sample
    // count it skips, so bounding the length by the bytes bounds every seek's walk.
    const std::int64_t bytes = m_file.size();
    const std::int64_t block_samples =
        info.stream_version >= 8 ? std::int64_t{MPC_FRAME_LENGTH} << std::min<unsigned>(info.block_pwr, 20) : 0;
    const std::int64_t most =
        block_samples > 0 ? (bytes / 3 + 1) * block_samples : (bytes * 8 / 20 + 1) * MPC_FRAME_LENGTH;
    m_total_frames = std::min(m_total_frames, most);
    // Silence at the start that the file could not hold is a damaged header; a seek would count
    // its blocks off one by one.
    if (static_cast<std::int64_t>(std::min<mpc_uint64_t>(info.beg_silence, INT64_MAX)) > most) return;
    m_decoder = std::move(decoder);
}

FileReaderMusepack::~FileReaderMusepack() = default;

bool FileReaderMusepack::decode_frame() {
    // A frame may legitimately yield no samples (the decoder's start-up delay); go on to the next.
    for (;;) {
        mpc_frame_info frame{};
        frame.buffer = m_decoder->samples.data();
        if (mpc_demux_decode(m_decoder->demux, &frame) != MPC_STATUS_OK || frame.bits == -1) {
            m_ended = true;
            return false;
        }
        if (frame.samples == 0) continue;
        const std::size_t count =
            std::min<std::size_t>(static_cast<std::size_t>(frame.samples) * m_channels, m_decoder->samples.size());
        AudioBlock block(count * 2, AudioFormat{m_channels, 16, m_rate});
        auto* out = reinterpret_cast<std::int16_t*>(block.data());
        for (std::size_t i = 0; i < count; ++i) out[i] = to_pcm16(m_decoder->samples[i]);
        m_frames_decoded += static_cast<std::int64_t>(count / m_channels);
        m_pending = block;
        return true;
    }
}

AudioBlock FileReaderMusepack::get_data(int requested_frames) {
    std::lock_guard guard(m_lock);
    if (!m_decoder || m_ended || requested_frames <= 0) return AudioBlock();
    if (m_pending.is_empty() && !decode_frame()) return AudioBlock();
    const std::size_t wanted = static_cast<std::size_t>(requested_frames) * m_channels * 2;
    AudioBlock out = m_pending.sub_block(0, wanted);
    m_pending = m_pending.sub_block(out.length(), m_pending.length());
    m_position += out.frames();
    return out;
}

bool FileReaderMusepack::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_decoder != nullptr;
}

bool FileReaderMusepack::is_at_end() const {
    std::lock_guard guard(m_lock);
    return !m_decoder || m_ended || (m_pending.is_empty() && m_position >= m_total_frames);
}

std::int64_t FileReaderMusepack::position() const {
    std::lock_guard guard(m_lock);
    return m_position;
}

std::int64_t FileReaderMusepack::frames_decoded() const {
    std::lock_guard guard(m_lock);
    return m_frames_decoded;
}

bool FileReaderMusepack::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_decoder) return false;
    position = std::clamp<std::int64_t>(position, 0, m_total_frames);
    MusepackSource& source = m_decoder->source;
    source.start_seek();
    const mpc_status status = mpc_demux_seek_sample(m_decoder->demux, static_cast<mpc_uint64_t>(position));
    source.seeking = false;
    m_pending = AudioBlock();
    if (status != MPC_STATUS_OK || source.went_beyond) {
        // The place asked for is not in the file (it was cut short, or its blocks lead in a
        // circle): the reader stays at its end.
        source.beyond = false;
        source.given_up = false;
        m_ended = true;
        return false;
    }
    m_position = position;
    m_ended = false;
    return true;
}

std::int64_t FileReaderMusepack::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * m_rate));
}

double FileReaderMusepack::time_of_position(std::int64_t position) const {
    return m_rate > 0 ? static_cast<double>(position) / m_rate : 0.0;
}
