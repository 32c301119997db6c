#include "audio/mp3/mp3_decoder.h"

#include <mad.h>

#include <algorithm>
#include <cstring>

#include "audio/mp3/file_reader_mp3.h"
#include "audio/mp3/mp3_frame_header.h"

struct Mp3Decoder::State {
    mad_stream stream;
    mad_frame frame;
    mad_synth synth;

    State() {
        mad_stream_init(&stream);
        mad_frame_init(&frame);
        mad_synth_init(&synth);
    }
    ~State() {
        mad_synth_finish(&synth);
        mad_frame_finish(&frame);
        mad_stream_finish(&stream);
    }
};

namespace {

// 28 fraction bits to 16 bits: round to nearest, then clip to the 16-bit range.
inline std::int16_t to_pcm16(mad_fixed_t sample) {
    sample += 1L << (MAD_F_FRACBITS - 16);
    if (sample >= MAD_F_ONE) {
        sample = MAD_F_ONE - 1;
    } else if (sample < -MAD_F_ONE) {
        sample = -MAD_F_ONE;
    }
    return static_cast<std::int16_t>(sample >> (MAD_F_FRACBITS + 1 - 16));
}

}  // namespace

Mp3Decoder::Mp3Decoder(const FileReaderMP3* source) : m_source(source), m_state(std::make_unique<State>()) {}

Mp3Decoder::~Mp3Decoder() = default;

void Mp3Decoder::reset() {
    std::lock_guard guard(lock());
    m_state = std::make_unique<State>();
}

AudioBlock Mp3Decoder::get_data(int requested_frames) {
    std::lock_guard guard(lock());
    for (;;) {
        const AudioBlock in = pull(*this, requested_frames);
        if (in.is_empty()) return in;
        bool skipped = false;
        AudioBlock out = decode(in, skipped);
        // An empty block would end the playback: a frame of delay or padding only is passed over.
        if (!skipped) return out;
    }
}

AudioBlock Mp3Decoder::transform(const AudioBlock& block) {
    bool skipped = false;
    return decode(block, skipped);
}

AudioBlock Mp3Decoder::decode(const AudioBlock& block, bool& skipped) {
    Mp3FrameHeader header;
    if (block.length() < 4 || !header.parse(block.data()) ||
        block.length() < static_cast<std::size_t>(header.frame_bytes)) {
        return AudioBlock();
    }
    // The frame and the start of the next one, which libmad peeks at to keep this frame's bits for
    // the next; zeros behind them keep its read-ahead inside our buffer.
    m_input.assign(block.length() + MAD_BUFFER_GUARD, 0);
    std::memcpy(m_input.data(), block.data(), block.length());

    State& s = *m_state;
    mad_stream_buffer(&s.stream, m_input.data(), m_input.size());
    const bool decoded = mad_frame_decode(&s.frame, &s.stream) == 0;
    const AudioFormat format{header.channels, 16, header.rate};
    FileReaderMP3::FrameSpan span;
    if (m_source != nullptr) span = m_source->last_frame_span();
    if (!decoded) {
        ++m_failed_frames;
        const int samples = std::clamp(std::min(header.samples - span.skip, span.keep), 0, header.samples);
        skipped = samples == 0;
        AudioBlock silence(static_cast<std::size_t>(samples) * format.block_align(), format);
        std::memset(silence.data(), 0, silence.length());
        return silence;
    }
    mad_synth_frame(&s.synth, &s.frame);
    const mad_pcm& pcm = s.synth.pcm;
    const int channels = pcm.channels == 2 ? 2 : 1;
    AudioBlock out(static_cast<std::size_t>(pcm.length) * channels * 2, AudioFormat{channels, 16, int(pcm.samplerate)});
    auto* samples = reinterpret_cast<std::int16_t*>(out.data());
    if (channels == 2) {
        for (unsigned i = 0; i < pcm.length; ++i) {
            samples[2 * i] = to_pcm16(pcm.samples[0][i]);
            samples[2 * i + 1] = to_pcm16(pcm.samples[1][i]);
        }
    } else {
        for (unsigned i = 0; i < pcm.length; ++i) samples[i] = to_pcm16(pcm.samples[0][i]);
    }
    const unsigned from = std::min<unsigned>(static_cast<unsigned>(std::max(span.skip, 0)), pcm.length);
    const unsigned count = std::min<unsigned>(pcm.length - from, static_cast<unsigned>(std::max(span.keep, 0)));
    skipped = count == 0;
    if (from == 0 && count == pcm.length) return out;
    return out.sub_block(static_cast<std::size_t>(from) * channels * 2, static_cast<std::size_t>(count) * channels * 2);
}
