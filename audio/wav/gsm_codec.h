#pragma once
// GSM 06.10 in the WAV49 packing: one 65-byte WAV block carries two 160-sample frames, 320
// samples of 8000 Hz 16-bit mono. A coder keeps the library's state between blocks, so one
// object serves one stream from its first block on.
#include <cstdint>
#include <memory>

namespace gsm610 {

// The library's coder state in WAV49 mode, kept inside gsm_codec.cpp.
class CoderState;

inline constexpr int kBlockAlign = 65;
inline constexpr int kSamplesPerBlock = 320;
inline constexpr int kRate = 8000;
inline constexpr int kAverageBytesPerSecond = 1625;

class Encoder {
public:
    Encoder();
    ~Encoder();
    Encoder(const Encoder&) = delete;
    Encoder& operator=(const Encoder&) = delete;

    bool is_valid() const { return m_state != nullptr; }
    // 320 samples in, 65 bytes out.
    void encode(const int16_t* pcm, uint8_t* block);

private:
    std::unique_ptr<CoderState> m_state;
};

class Decoder {
public:
    Decoder();
    ~Decoder();
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;

    bool is_valid() const { return m_state != nullptr; }
    // 65 bytes in, 320 samples out; false when the library rejects a frame.
    bool decode(const uint8_t* block, int16_t* pcm);

private:
    std::unique_ptr<CoderState> m_state;
};

}  // namespace gsm610
