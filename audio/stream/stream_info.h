#pragma once
// The query side of a stream reader, the same for every codec. The player's thread pulls data while
// the GUI thread asks for the position or seeks, so every implementation guards its state with its
// own lock.
//
// Positions are counted in the reader's length unit: bytes of the sample data for the WAV family,
// bytes of the file for MP3, and decoded sample frames for Vorbis and Musepack. The playback screen
// only ever seeks to a fraction of length(), so the unit never leaks further than this interface.
#include <cstdint>

class StreamInfo {
public:
    virtual ~StreamInfo() = default;

    virtual bool is_valid() const = 0;
    virtual bool is_at_end() const = 0;
    virtual int channels() const = 0;
    // Bits of the decoded PCM: 16 for every compressed codec.
    virtual int bits() const = 0;
    virtual int rate() const = 0;
    // Bits per second of the stored stream (average for variable rates).
    virtual int bit_rate() const = 0;
    virtual std::int64_t file_size() const = 0;

    virtual std::int64_t position() const = 0;
    virtual std::int64_t length() const = 0;
    // Moves to the start of the coded unit that holds the position (clamped to the stream).
    virtual bool seek(std::int64_t position) = 0;

    virtual std::int64_t position_of_time(double seconds) const = 0;
    virtual double time_of_position(std::int64_t position) const = 0;
    virtual std::int64_t samples_of_position(std::int64_t position) const = 0;

    double duration() const { return time_of_position(length()); }
    double time() const { return time_of_position(position()); }
};
