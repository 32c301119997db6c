#include "audio/readers/file_reader_vorbis.h"

#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/readers/file_callbacks.h"
#include "audio/readers/vorbis_setup_check.h"

struct FileReaderVorbis::Decoder {
    OggVorbis_File file{};
};

namespace {

std::size_t read_callback(void* buffer, std::size_t size, std::size_t count, void* source) {
    if (size == 0) return 0;
    return static_cast<InputFile*>(source)->read(buffer, size * count) / size;
}

int seek_callback(void* source, ogg_int64_t offset, int origin) {
    return seek_from_origin(*static_cast<InputFile*>(source), offset, origin) ? 0 : -1;
}

// The reader owns and closes the file, not the library.
int close_callback(void*) { return 0; }

long tell_callback(void* source) { return static_cast<long>(static_cast<InputFile*>(source)->position()); }

// Gaps in the page sequence are skipped rather than taken for the end of the stream.
constexpr int max_holes_per_pull = 32;

}  // namespace

FileReaderVorbis::FileReaderVorbis(const std::u16string& path) {
    if (!m_file.open(path)) return;
    // Only Ogg streams reach the library: anything else is turned away without a read past 4 bytes.
    char magic[4] = {};
    if (m_file.read(magic, 4) != 4 || std::memcmp(magic, "OggS", 4) != 0) return;
    if (!vorbis_codebooks_usable(m_file) || !m_file.seek(0)) return;
    auto decoder = std::make_unique<Decoder>();
    const ov_callbacks callbacks{read_callback, seek_callback, close_callback, tell_callback};
    if (ov_open_callbacks(&m_file, &decoder->file, nullptr, 0, callbacks) != 0) {
        // A failed open may keep what it allocated before it gave up (the sync and stream state);
        // clearing is safe either way, as the structure is zeroed where the library let go.
        ov_clear(&decoder->file);
        return;
    }
    vorbis_info* info = ov_info(&decoder->file, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
        // Mono and stereo only: the player and its level meters know no other layout.
        ov_clear(&decoder->file);
        return;
    }
    m_channels = info->channels;
    m_rate = static_cast<int>(info->rate);
    m_total_frames = std::max<ogg_int64_t>(0, ov_pcm_total(&decoder->file, -1));
    // The average over the whole stream, computed here: the library's own divides by a duration
    // that a damaged stream can make 0.
    const ogg_int64_t bytes = ov_raw_total(&decoder->file, -1);
    if (m_total_frames > 0 && bytes > 0) {
        m_bit_rate = static_cast<int>(std::min<std::int64_t>(bytes * 8 * m_rate / m_total_frames, INT32_MAX));
    } else {
        m_bit_rate = std::max(0, static_cast<int>(info->bitrate_nominal));
    }
    m_decoder = std::move(decoder);
}

FileReaderVorbis::~FileReaderVorbis() {
    if (m_decoder) ov_clear(&m_decoder->file);
}

AudioBlock FileReaderVorbis::get_data(int requested_frames) {
    std::lock_guard guard(m_lock);
    if (!m_decoder || m_failed || requested_frames <= 0) return AudioBlock();
    const int frames = std::min(requested_frames, max_frames_per_pull);
    AudioBlock block(static_cast<std::size_t>(frames) * m_channels * 2, AudioFormat{m_channels, 16, m_rate});
    for (int holes = 0; holes <= max_holes_per_pull; ++holes) {
        int link = 0;
        const long got =
            ov_read(&m_decoder->file, reinterpret_cast<char*>(block.data()), static_cast<int>(block.length()), &link);
        if (got == OV_HOLE) continue;
        if (got <= 0) {
            if (got < 0) m_failed = true;
            return AudioBlock();
        }
        // A chained stream may change its layout at a link boundary; the block says what it holds.
        vorbis_info* info = ov_info(&m_decoder->file, -1);
        const AudioFormat format = info != nullptr ? AudioFormat{info->channels, 16, static_cast<int32_t>(info->rate)}
                                                   : AudioFormat{m_channels, 16, m_rate};
        AudioBlock out = block.sub_block(0, static_cast<std::size_t>(got));
        return format == out.format() ? out : AudioBlock(out.data(), out.length(), format);
    }
    return AudioBlock();
}

bool FileReaderVorbis::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_decoder != nullptr && !m_failed;
}

bool FileReaderVorbis::is_at_end() const {
    std::lock_guard guard(m_lock);
    return !m_decoder || ov_pcm_tell(&m_decoder->file) >= m_total_frames;
}

std::int64_t FileReaderVorbis::position() const {
    std::lock_guard guard(m_lock);
    return m_decoder ? std::max<ogg_int64_t>(0, ov_pcm_tell(&m_decoder->file)) : 0;
}

bool FileReaderVorbis::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_decoder) return false;
    return ov_pcm_seek(&m_decoder->file, std::clamp<std::int64_t>(position, 0, m_total_frames)) == 0;
}

std::int64_t FileReaderVorbis::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * m_rate));
}

double FileReaderVorbis::time_of_position(std::int64_t position) const {
    return m_rate > 0 ? static_cast<double>(position) / m_rate : 0.0;
}
