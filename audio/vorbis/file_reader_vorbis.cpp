#include "audio/vorbis/file_reader_vorbis.h"

#include <tremor/ivorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "audio/stream/file_callbacks.h"
#include "audio/vorbis/vorbis_setup_check.h"

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
    // Mono and stereo only: the player and its level meters know no other layout.
    const int links = std::max(1, static_cast<int>(ov_streams(&decoder->file)));
    std::int64_t pcm_start = 0;
    for (int i = 0; i < links; ++i) {
        vorbis_info* info = ov_info(&decoder->file, i);
        if (info == nullptr || info->channels < 1 || info->channels > 2 || info->rate <= 0) {
            ov_clear(&decoder->file);
            m_links.clear();
            return;
        }
        Link link;
        link.channels = info->channels;
        link.rate = static_cast<int>(info->rate);
        link.pcm_start = pcm_start;
        link.pcm_frames = std::max<ogg_int64_t>(0, ov_pcm_total(&decoder->file, i));
        pcm_start += link.pcm_frames;
        m_channels = std::max(m_channels, link.channels);
        m_rate = std::max(m_rate, link.rate);
        m_links.push_back(link);
    }
    for (Link& link : m_links) {
        link.out_start = m_total_frames;
        link.out_frames = link.rate == m_rate ? link.pcm_frames : link.pcm_frames * m_rate / link.rate;
        m_total_frames += link.out_frames;
    }
    // The average over the whole stream, computed here: the library's own divides by a duration
    // that a damaged stream can make 0.
    const ogg_int64_t bytes = ov_raw_total(&decoder->file, -1);
    if (m_total_frames > 0 && bytes > 0) {
        m_bit_rate = static_cast<int>(std::min<std::int64_t>(bytes * 8 * m_rate / m_total_frames, INT32_MAX));
    } else {
        vorbis_info* info = ov_info(&decoder->file, 0);
        m_bit_rate = info != nullptr ? std::max(0, static_cast<int>(info->bitrate_nominal)) : 0;
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
    for (int holes = 0; holes <= max_holes_per_pull; ++holes) {
        // A link at a lower rate gives more output frames than it reads: read fewer of it.
        const int wanted = frames * std::max(1, m_channels);
        m_input.resize(static_cast<std::size_t>(wanted));
        int bitstream = 0;
        const long got = ov_read(&m_decoder->file, reinterpret_cast<char*>(m_input.data()),
                                 static_cast<int>(m_input.size() * 2), &bitstream);
        if (got == OV_HOLE) continue;
        if (got <= 0) {
            if (got < 0) m_failed = true;
            m_ended = true;
            return AudioBlock();
        }
        const int index = std::clamp(bitstream, 0, static_cast<int>(m_links.size()) - 1);
        const Link& link = m_links[static_cast<std::size_t>(index)];
        AudioBlock out = convert(m_input.data(), got / 2 / link.channels, link);
        if (out.is_empty()) continue;
        m_position += out.frames();
        return out;
    }
    return AudioBlock();
}

void FileReaderVorbis::reset_conversion() {
    m_conversion_link = -1;
    m_last[0] = m_last[1] = 0;
    m_phase = 0.0;
}

AudioBlock FileReaderVorbis::convert(const std::int16_t* in, std::int64_t frames, const Link& link) {
    const AudioFormat format{m_channels, 16, m_rate};
    const int link_index = static_cast<int>(&link - m_links.data());
    if (link.channels == m_channels && link.rate == m_rate) {
        m_conversion_link = link_index;
        return AudioBlock(in, static_cast<std::size_t>(frames * m_channels * 2), format);
    }
    if (link.rate == m_rate) {
        // Only the channels differ: a mono link goes to both sides.
        m_conversion_link = link_index;
        std::vector<std::int16_t> out(static_cast<std::size_t>(frames * m_channels));
        for (std::int64_t i = 0; i < frames; ++i) {
            for (int c = 0; c < m_channels; ++c)
                out[i * m_channels + c] = in[i * link.channels + std::min(c, link.channels - 1)];
        }
        return out.empty() ? AudioBlock() : AudioBlock(out.data(), out.size() * 2, format);
    }
    const auto sample = [&](std::int64_t frame, int channel) -> std::int32_t {
        const int c = std::min(channel, link.channels - 1);
        return frame < 0 ? m_last[c] : in[frame * link.channels + c];
    };
    if (m_conversion_link != link_index) {
        // A new link (or a seek) starts without history, at its first frame.
        m_conversion_link = link_index;
        m_phase = 1.0;
        m_last[0] = m_last[1] = 0;
    }
    const double step = static_cast<double>(link.rate) / m_rate;
    std::vector<std::int16_t> out;
    out.reserve(static_cast<std::size_t>(static_cast<double>(frames) / step + 2) * m_channels);
    // m_phase counts input frames after the last frame of the previous pull (index -1).
    double t = m_phase - 1.0;
    while (t < static_cast<double>(frames - 1)) {
        const auto i = static_cast<std::int64_t>(std::floor(t));
        const double fraction = t - static_cast<double>(i);
        for (int c = 0; c < m_channels; ++c) {
            const double a = sample(i, c);
            const double b = sample(i + 1, c);
            out.push_back(static_cast<std::int16_t>(std::lround(a + (b - a) * fraction)));
        }
        t += step;
    }
    m_phase = t - static_cast<double>(frames - 1);
    if (frames > 0) {
        for (int c = 0; c < 2; ++c) m_last[c] = in[(frames - 1) * link.channels + std::min(c, link.channels - 1)];
    }
    if (out.empty()) return AudioBlock();
    return AudioBlock(out.data(), out.size() * 2, format);
}

bool FileReaderVorbis::is_valid() const {
    std::lock_guard guard(m_lock);
    return m_decoder != nullptr && !m_failed;
}

bool FileReaderVorbis::is_at_end() const {
    std::lock_guard guard(m_lock);
    return !m_decoder || m_ended || m_position >= m_total_frames;
}

std::int64_t FileReaderVorbis::position() const {
    std::lock_guard guard(m_lock);
    return m_decoder ? std::min(m_position, m_total_frames) : 0;
}

bool FileReaderVorbis::seek(std::int64_t position) {
    std::lock_guard guard(m_lock);
    if (!m_decoder) return false;
    position = std::clamp<std::int64_t>(position, 0, m_total_frames);
    // The link that holds the position, and the position in its own samples.
    std::size_t index = 0;
    while (index + 1 < m_links.size() && position >= m_links[index + 1].out_start) ++index;
    const Link& link = m_links[index];
    const std::int64_t local =
        link.rate == m_rate ? position - link.out_start : (position - link.out_start) * link.rate / m_rate;
    if (ov_pcm_seek(&m_decoder->file, link.pcm_start + std::min(local, link.pcm_frames)) != 0) return false;
    reset_conversion();
    m_ended = false;
    m_position = link.rate == m_rate ? link.out_start + local : link.out_start + local * m_rate / link.rate;
    return true;
}

std::int64_t FileReaderVorbis::position_of_time(double seconds) const {
    return static_cast<std::int64_t>(std::floor(seconds * m_rate));
}

double FileReaderVorbis::time_of_position(std::int64_t position) const {
    return m_rate > 0 ? static_cast<double>(position) / m_rate : 0.0;
}
