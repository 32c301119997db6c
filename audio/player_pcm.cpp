#include "audio/player_pcm.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "os/log.h"

class PlayerPCM::Worker : public Thread {
public:
    explicit Worker(PlayerPCM& player) : m_player(player) {}

protected:
    void run() override { m_player.run_loop(*this); }

private:
    PlayerPCM& m_player;
};

uint32_t PlayerPCM::buffer_size_for(int channels, int rate, int bits) {
    return static_cast<uint32_t>(channels * bits / 8 * (rate * 200 / 1000));
}

PlayerPCM::PlayerPCM() : m_thread(std::make_unique<Worker>(*this)) {
    if (m_thread->start()) {
        m_thread->set_priority(1);
    } else {
        os::log() << u"player thread failed\n";
    }
}

PlayerPCM::~PlayerPCM() {
    m_messages.post(os::WaveMessage{os::WM_QUIT, nullptr, nullptr});
    m_thread->request_stop();
    m_thread->join();
}

void PlayerPCM::on_data(const AudioBlock&) {
    os::fatal_error(u"PlayerPCM::on_data", u"on_data unexpected - player is active object");
}

void PlayerPCM::post_user() { m_messages.post(os::WaveMessage{os::WM_USER, nullptr, nullptr}); }

void PlayerPCM::play() {
    m_ready.wait();
    std::lock_guard guard(lock());
    m_play_requested = true;
    m_pause_requested = false;
    m_finished = false;
    m_device_failed = false;
    post_user();
}

void PlayerPCM::stop() {
    m_ready.wait();
    std::lock_guard guard(lock());
    m_play_requested = false;
    m_pause_requested = false;
    m_finished = true;
    m_stop_requested = true;
    post_user();
}

void PlayerPCM::pause() {
    m_ready.wait();
    std::lock_guard guard(lock());
    m_pause_requested = true;
    post_user();
}

void PlayerPCM::seek_follows() {
    std::lock_guard guard(lock());
    m_pending = AudioBlock();
    if (!m_handle) return;
    if (m_state == 1) {
        // The queued buffers come back done and are filled again from the new position; a reset
        // device plays, so a paused one is paused again.
        m_handle->reset();
        if (m_paused) m_handle->pause();
    } else if (m_state == 2 && m_play_requested) {
        // Draining the end of the data: that device goes, and playback starts over from the new
        // position as for a fresh play.
        close_device_now();
        reset_device_side();
    }
}

void PlayerPCM::set_volume(double volume) {
    std::lock_guard guard(lock());
    m_volume = std::clamp(volume, 0.0, 1.0);
    if (m_handle) {
        const uint32_t w = static_cast<uint32_t>(m_volume * 65535.0);
        m_handle->set_volume(w | w << 16);
    }
}

double PlayerPCM::volume() {
    std::lock_guard guard(lock());
    return m_volume;
}

double PlayerPCM::level(int channel) {
    std::lock_guard guard(lock());
    return m_levels[std::clamp(channel, 0, 1)];
}

double PlayerPCM::buffered_seconds() {
    std::lock_guard guard(lock());
    double seconds = 0.0;
    if (!m_pending.is_empty() && m_pending.format().rate > 0) {
        seconds += static_cast<double>(m_pending.frames()) / m_pending.format().rate;
    }
    if (m_handle) {
        const double per_second = m_handle->format().byte_rate();
        if (per_second > 0) seconds += static_cast<double>(m_handle->queued_bytes()) / per_second;
    }
    return seconds;
}

bool PlayerPCM::device_failed() {
    std::lock_guard guard(lock());
    return m_device_failed;
}

bool PlayerPCM::is_finished() {
    std::lock_guard guard(lock());
    return m_finished;
}

int PlayerPCM::state() {
    std::lock_guard guard(lock());
    return m_state;
}

uint32_t PlayerPCM::buffer_size() {
    std::lock_guard guard(lock());
    return m_buffer_size;
}

void PlayerPCM::run_loop(Thread& thread) {
    os::mark_audio_thread();
    m_ready.set();  // the message queue exists from construction on
    while (!thread.stop_requested()) {
        os::WaveMessage message;
        m_messages.get(message);
        if (message.message == os::WM_QUIT) break;
        std::lock_guard guard(lock());
        if (message.message == os::WM_USER) {
            on_user();
            continue;
        }
        // Notifications of a device already let go of (closed on a restart while draining) are stale.
        if (!m_handle || message.device != m_handle.get()) continue;
        switch (message.message) {
            case os::MM_WOM_OPEN:
                on_device_ready();
                break;
            case os::MM_WOM_DONE:
                on_done(message.header);
                break;
            case os::MM_WOM_CLOSE:
                on_close();
                break;
            default:
                break;
        }
    }
    std::lock_guard guard(lock());
    if (m_handle) {
        m_handle->reset();
        m_handle->close();
        m_handle.reset();
    }
}

void PlayerPCM::on_user() {
    if (m_play_requested && m_stop_requested) {
        m_stop_requested = false;
        if (m_state == 2) {
            // Still draining the last playback: let that device go now instead of waiting for it.
            close_device_now();
            reset_device_side();
        }
    }
    if (m_play_requested && m_state == 0) {
        if (m_pending.is_empty()) m_pending = pull(*this, pull_frames);
        if (!m_pending.is_empty()) {
            m_open_format = m_pending.format();
            m_state = 1;
            open_device();
        } else if (all_headers_free()) {
            m_finished = true;
        }
    } else if (!m_play_requested && m_state == 1) {
        m_state = 2;
        if (m_handle) m_handle->reset();
        m_pending = AudioBlock();
    }
    if (m_pause_requested && !m_paused && m_handle) {
        m_handle->pause();
        m_paused = true;
    } else if (!m_pause_requested && m_paused) {
        if (m_handle) m_handle->restart();
        m_paused = false;
    }
}

void PlayerPCM::open_device() {
    const os::WaveFormat format{m_open_format.channels, m_open_format.bits, m_open_format.rate};
    const uint32_t result = os::wave_out_open(m_handle, os::WAVE_MAPPER, format, m_messages);
    if (result != os::MMSYSERR_NOERROR) {
        // Without a device there will be no notifications: finish here rather than wait forever.
        os::log() << u"player bad open!!!!! waveOutOpen=" << result << u"\n";
        m_handle.reset();
        m_play_requested = false;
        m_pending = AudioBlock();
        reset_device_side();
        m_finished = true;
        m_device_failed = true;
        return;
    }
    const uint32_t size = buffer_size_for(format.channels, format.rate, format.bits);
    if (size != m_buffer_size) {
        m_buffer_size = size;
        for (int k = 0; k < buffer_count; ++k) {
            m_buffers[k].assign(m_buffer_size, 0);
            m_headers[k].data = m_buffers[k].data();
            m_headers[k].buffer_length = m_buffer_size;
        }
    }
    for (auto& header : m_headers) {
        header.user = 0;
        header.flags.store(0);
    }
}

void PlayerPCM::on_device_ready() {
    const uint32_t w = static_cast<uint32_t>(m_volume * 65535.0);
    m_handle->set_volume(w | w << 16);
    if (m_state == 1) {
        if (fill()) m_state = 2;
    }
    if (m_state == 2 && all_headers_free()) m_handle->close();
}

void PlayerPCM::on_done(os::WaveHeader* header) {
    if (header == nullptr || header->user == 0) return;
    header->user = 0;
    m_handle->unprepare_header(*header);
    measure_levels(*header);
    if (m_state == 1) {
        if (fill()) m_state = 2;
    }
    if (m_state == 2 && all_headers_free()) m_handle->close();
}

void PlayerPCM::on_close() {
    if (m_state == 2) {
        reset_device_side();
        m_finished = true;
    }
}

bool PlayerPCM::fill() {
    bool ended = false;
    for (auto& header : m_headers) {
        if (ended) break;
        if (header.user != 0) continue;
        uint32_t copied = 0;
        while (copied < m_buffer_size) {
            if (m_pending.is_empty()) {
                m_pending = pull(*this, pull_frames);
                if (m_pending.is_empty()) break;
            }
            if (m_pending.format() != m_open_format) {
                // The stream changed its format: playback ends at the boundary.
                m_play_requested = false;
                m_pending = AudioBlock();
                break;
            }
            const uint32_t count =
                static_cast<uint32_t>(std::min<std::size_t>(m_pending.length(), m_buffer_size - copied));
            std::memcpy(header.data + copied, m_pending.data(), count);
            copied += count;
            m_pending = m_pending.sub_block(count, m_pending.length() - count);
        }
        if (copied < m_buffer_size) ended = true;
        if (copied == 0) break;  // nothing left to play: no empty buffer goes to the device
        header.user = 1;
        header.buffer_length = copied;
        m_handle->prepare_header(header);
        m_handle->write(header);
    }
    return ended;
}

void PlayerPCM::close_device_now() {
    if (!m_handle) return;
    m_handle->reset();
    for (auto& header : m_headers) {
        if (header.user != 0) {
            header.user = 0;
            m_handle->unprepare_header(header);
        }
    }
    m_handle->close();
}

void PlayerPCM::reset_device_side() {
    for (auto& header : m_headers) {
        if (header.user != 0) {
            header.user = 0;
            if (m_handle) m_handle->unprepare_header(header);
        }
        header.buffer_length = m_buffer_size;
    }
    m_state = 0;
    m_levels[0] = m_levels[1] = 0.0;
    m_open_format = AudioFormat{};
    m_handle.reset();
    m_paused = false;
    post_user();
}

void PlayerPCM::measure_levels(const os::WaveHeader& header) {
    m_levels[0] = m_levels[1] = 0.0;
    const int align = m_open_format.channels * m_open_format.bits / 8;
    if (align <= 0) return;
    const uint32_t frames = header.buffer_length / static_cast<uint32_t>(align);
    const int channels = std::min(m_open_format.channels, 2);
    for (int c = 0; c < channels; ++c) {
        int peak = 0;
        for (uint32_t f = 0; f < frames; ++f) {
            const uint8_t* frame = header.data + static_cast<std::size_t>(f) * align;
            if (m_open_format.bits == 16) {
                int16_t sample;
                std::memcpy(&sample, frame + c * 2, 2);
                peak = std::max(peak, std::abs(static_cast<int>(sample)));
            } else if (m_open_format.bits == 8) {
                peak = std::max(peak, std::abs(static_cast<int>(frame[c]) - 128));
            }
        }
        if (m_open_format.bits == 16) m_levels[c] = peak / 32768.0;
        if (m_open_format.bits == 8) m_levels[c] = peak / 128.0;
    }
    if (m_open_format.channels == 1) m_levels[1] = m_levels[0];
}

bool PlayerPCM::all_headers_free() const {
    return std::all_of(m_headers.begin(), m_headers.end(), [](const os::WaveHeader& h) { return h.user == 0; });
}
