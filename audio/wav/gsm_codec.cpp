#include "audio/wav/gsm_codec.h"

#include <gsm.h>

#include <cstring>

namespace gsm610 {
namespace {

gsm_state* create_wav49_state() {
    gsm state = gsm_create();
    if (state == nullptr) return nullptr;
    int on = 1;
    gsm_option(state, GSM_OPT_WAV49, &on);
    return state;
}

}  // namespace

Encoder::Encoder() : m_state(create_wav49_state()) {}

Encoder::~Encoder() {
    if (m_state != nullptr) gsm_destroy(m_state);
}

void Encoder::encode(const int16_t* pcm, uint8_t* block) {
    // The library reads its input as non-const; hand it a copy so the caller's block stays shared.
    gsm_signal samples[kSamplesPerBlock];
    std::memcpy(samples, pcm, sizeof samples);
    // The first frame's bits end in the middle of byte 32; the library's WAV49 mode fills in the
    // second frame from there on the second call.
    gsm_encode(m_state, samples, block);
    gsm_encode(m_state, samples + 160, block + 32);
}

Decoder::Decoder() : m_state(create_wav49_state()) {}

Decoder::~Decoder() {
    if (m_state != nullptr) gsm_destroy(m_state);
}

bool Decoder::decode(const uint8_t* block, int16_t* pcm) {
    gsm_byte bytes[kBlockAlign];
    std::memcpy(bytes, block, sizeof bytes);
    const bool first = gsm_decode(m_state, bytes, pcm) == 0;
    const bool second = gsm_decode(m_state, bytes + 33, pcm + 160) == 0;
    return first && second;
}

}  // namespace gsm610
