#pragma once
// The speaker as the sink of the playback chain. An active object: its own thread pulls blocks from
// the upstream port (a file reader) with get_data, keeps six 200 ms device buffers queued, measures
// the peak level of each buffer that finishes and reports when the data has run out. Nothing may
// push into it.
//
// play / stop / pause / set_volume and the getters come from the Document's (GUI) thread: they take
// this node's lock, set flags and post a message; every state change and every pull happens on the
// player's thread under the same lock.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "audio/audio_node.h"
#include "os/event.h"
#include "os/thread.h"
#include "os/wave/wave.h"

class PlayerPCM : public AudioConsumer {
public:
    static constexpr int buffer_count = 6;
    static constexpr int pull_frames = 16384;

    PlayerPCM();
    ~PlayerPCM() override;

    // A player pulls: pushing is a broken contract and ends the program.
    void on_data(const AudioBlock& block) override;

    void play();
    // Ends playback now and discards what was pulled; is_finished() is true at once.
    void stop();
    void pause();
    // A seek of the upstream follows: what was pulled and what the device still holds are dropped,
    // so that playback goes on from the new position, paused or not. Hold lock() from this call
    // until the upstream is repositioned: the player pulls only under it.
    void seek_follows();
    void set_volume(double volume);
    double volume();
    // Peak of the last finished buffer, 0.0 .. 1.0; channel clamped to 0..1.
    double level(int channel);
    bool is_finished();
    // Seconds of audio taken from upstream and not yet heard (pulled, or queued at the device).
    double buffered_seconds();
    // The last play() found no output device to open; cleared by the next play().
    bool device_failed();

    // 0 idle, 1 playing, 2 draining; for tests.
    int state();
    uint32_t buffer_size();

    // 200 ms of audio, not rounded.
    static uint32_t buffer_size_for(int channels, int rate, int bits);

private:
    class Worker;
    void run_loop(Thread& thread);
    void post_user();
    void on_user();
    void on_device_ready();
    void on_done(os::WaveHeader* header);
    void on_close();
    void open_device();
    bool fill();
    void reset_device_side();
    void close_device_now();
    void measure_levels(const os::WaveHeader& header);
    bool all_headers_free() const;

    std::unique_ptr<Worker> m_thread;
    Event m_ready{Event::Reset::Manual};
    os::MessageQueue m_messages;
    std::array<os::WaveHeader, buffer_count> m_headers;
    std::array<std::vector<uint8_t>, buffer_count> m_buffers;
    uint32_t m_buffer_size = 0;
    std::unique_ptr<os::WaveOut> m_handle;
    AudioFormat m_open_format;
    AudioBlock m_pending;
    int m_state = 0;
    bool m_play_requested = false;
    bool m_pause_requested = false;
    bool m_stop_requested = false;
    bool m_paused = false;
    bool m_finished = false;
    bool m_device_failed = false;
    double m_volume = 1.0;
    double m_levels[2] = {0.0, 0.0};
};
