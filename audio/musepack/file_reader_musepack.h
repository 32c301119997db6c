#pragma once
// Musepack (stream versions 7 and 8) over libmpcdec's demuxer. One decoded frame (1,152 samples per
// channel) is held and handed out over as many pulls as the requests ask for. Positions are
// decoded sample frames.
//
// Threads: get_data on the player's thread, queries and seek from the GUI thread; one lock.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "audio/stream/input_file.h"
#include "audio/stream/stream_reader.h"

class FileReaderMusepack : public StreamReader {
public:
    explicit FileReaderMusepack(const std::u16string& path);
    ~FileReaderMusepack() override;

    // Up to the requested frames from the pending decoded frame; a new frame is decoded only when
    // nothing is pending.
    AudioBlock get_data(int requested_frames) override;

    bool is_valid() const override;
    bool is_at_end() const override;
    int channels() const override { return m_channels; }
    int bits() const override { return 16; }
    int rate() const override { return m_rate; }
    int bit_rate() const override { return m_bit_rate; }
    std::int64_t file_size() const override { return m_file.size(); }
    std::int64_t position() const override;
    std::int64_t length() const override { return m_total_frames; }
    bool seek(std::int64_t position) override;
    std::int64_t position_of_time(double seconds) const override;
    double time_of_position(std::int64_t position) const override;
    std::int64_t samples_of_position(std::int64_t position) const override { return position; }

    // Frames decoded from the library so far (for tests: a frame served over two pulls counts once).
    std::int64_t frames_decoded() const;

private:
    struct Decoder;
    bool decode_frame();

    mutable std::mutex m_lock;
    InputFile m_file;
    std::unique_ptr<Decoder> m_decoder;
    int m_channels = 0;
    int m_rate = 0;
    int m_bit_rate = 0;
    std::int64_t m_total_frames = 0;
    // Decoded 16-bit samples not yet handed out.
    AudioBlock m_pending;
    std::int64_t m_frames_decoded = 0;
    std::int64_t m_position = 0;
    bool m_ended = false;
};
