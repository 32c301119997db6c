#pragma once
// The shape of a recording for its waveform: the lowest and highest sample of the first channel
// in every fifth of a second, in 1/127 of full scale (two bytes per pair, 600 bytes a minute).
//
// PeakAccumulator turns blocks into pairs as they pass; PeakRing hands pairs from the thread that
// makes them to the one that shows them without a lock, so the GUI never waits for audio work.
#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "audio/audio_block.h"

struct PeakPair {
    int8_t low = 0;
    int8_t high = 0;
    friend bool operator==(const PeakPair&, const PeakPair&) = default;
};

constexpr int kPeaksPerSecond = 5;

// A 16-bit sample (or an 8-bit one moved to 16 bits) in 1/127 of full scale, rounded to nearest.
int8_t peak_value(int32_t sample16);

class PeakAccumulator {
public:
    // Adds the block's frames; every completed pair is appended to out. A block of another rate
    // than the ones before starts a new pair.
    void add(const AudioBlock& block, std::vector<PeakPair>& out);
    // The pair still being filled, when it holds any frame, goes to out; then starts afresh.
    void flush(std::vector<PeakPair>& out);
    void reset();
    // Frames in the pair being filled.
    int32_t pending_frames() const { return m_frames; }

private:
    int32_t m_rate = 0;
    int32_t m_frames = 0;
    int32_t m_low = 0;
    int32_t m_high = 0;
};

// One producer thread, one consumer thread. A full ring drops the oldest pairs the consumer has not
// taken (it shows the live sound, so the newest matter).
class PeakRing {
public:
    static constexpr uint32_t capacity = 1024;

    void push(PeakPair pair);
    // Appends every pair pushed since the last take; returns how many.
    size_t take(std::vector<PeakPair>& out);
    // Forgets what was pushed and not taken (consumer side).
    void discard();

private:
    // Each pair in one atomic word, so a slot the producer rewrites while the consumer copies it
    // is read whole, old or new, never torn.
    std::array<std::atomic<uint16_t>, capacity> m_pairs{};
    std::atomic<uint64_t> m_written{0};
    uint64_t m_read = 0;
};
