#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "audio/recorder_pcm.h"
#include "os/event.h"
#include "os/thread.h"
#include "os/wave/wave.h"

class RecorderPCMImpl final : public RecorderPCM {
public:
    static constexpr int buffer_count = 10;

    RecorderPCMImpl(int channels, int rate, int bits, CaptureSource source = CaptureSource::microphone);
    ~RecorderPCMImpl() override;

    bool start() override;
    bool pause() override;
    bool is_paused() override;
    void finish() override;
    bool is_ok() override;
    std::string failure() override;
    int channels() override;
    int bits() override;
    int rate() override;
    int bit_rate() override;

    // 0 waiting for the open notification, 1 open, 2 running, 3 closing or failed.
    int state();
    uint32_t buffer_size() const { return m_buffer_size; }

    // 200 ms of audio rounded down to an even byte count.
    static uint32_t buffer_size_for(int channels, int rate, int bits);

private:
    class Worker;
    void run_loop(Thread& thread);
    void start_device();
    void harvest();
    void close_device();
    void queue_header(os::WaveHeader& header);
    uint32_t handle_id() const { return m_handle ? m_handle->id() : 0; }

    std::recursive_mutex m_lock;
    std::unique_ptr<Worker> m_thread;
    // Ends the 100 ms wait between passes early: for a stop, and for a start so that capture
    // begins at once rather than up to two passes later.
    Event m_wake{Event::Reset::Automatic};
    os::MessageQueue m_messages;
    std::array<os::WaveHeader, buffer_count> m_headers;
    std::array<std::vector<uint8_t>, buffer_count> m_buffers;
    std::unique_ptr<os::WaveIn> m_handle;
    uint32_t m_buffer_size = 0;
    int m_next_index = 0;
    int m_channels;
    int m_rate;
    int m_bits;
    bool m_paused = false;
    bool m_start_requested = false;
    bool m_device_closed = false;
    int m_state = 0;
};
