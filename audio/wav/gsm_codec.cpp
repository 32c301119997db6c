#include "audio/wav/gsm_codec.h"

#include <gsm.h>

#include <cstring>

namespace gsm610 {

// Owns one library state and destroys it.
class CoderState {
public:
    explicit CoderState(gsm handle) : handle(handle) {}
    ~CoderState() { gsm_destroy(handle); }
    CoderState(const CoderState&) = delete;
    CoderState& operator=(const CoderState&) = delete;

    const gsm handle;
};

namespace {

std::unique_ptr<CoderState> create_wav49_state() {
    gsm state = gsm_create();
    if (state == nullptr) return nullptr;
    int on = 1;
    gsm_option(state, GSM_OPT_WAV49, &on);
    return std::make_unique<CoderState>(state);
}

}  // namespace

Encoder::Encoder() : m_state(create_wav49_state()) {}

Encoder::~Encoder() = default;

void Encoder::encode(const int16_t* pcm, uint8_t* block) {
    // The library reads its input as non-const; hand it a copy so the caller's block stays shared.
    gsm_signal samples[kSamplesPerBlock];
    std::memcpy(samples, pcm, sizeof samples);
    // The first frame's bits end in the middle of byte 32; the library's WAV49 mode fills in the
    // second frame from there on the second call.
    gsm_encode(m_state->handle, samples, block);
    gsm_encode(m_state->handle, samples + 160, block + 32);
}

Decoder::Decoder() : m_state(create_wav49_state()) {}

Decoder::~Decoder() = default;

bool Decoder::decode(const uint8_t* block, int16_t* pcm) {
    gsm_byte bytes[kBlockAlign];
    std::memcpy(bytes, block, sizeof bytes);
    const bool first = gsm_decode(m_state->handle, bytes, pcm) == 0;
    const bool second = gsm_decode(m_state->handle, bytes + 33, pcm + 160) == 0;
    return first && second;
}

}  // namespace gsm610
