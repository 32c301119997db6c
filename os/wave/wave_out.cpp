#include <algorithm>
#include <cstring>

#include "os/wave/wave.h"

namespace os {

uint32_t allocate_wave_device_id();

WaveOut::WaveOut(const WaveFormat& format, MessageQueue& notify)
    : m_format(format), m_notify(notify), m_id(allocate_wave_device_id()) {}

WaveOut::~WaveOut() = default;

void WaveOut::post_open() { m_notify.post(WaveMessage{MM_WOM_OPEN, this, nullptr}); }

uint32_t WaveOut::prepare_header(WaveHeader& header) {
    if (header.data == nullptr && header.buffer_length > 0) return MMSYSERR_INVALPARAM;
    header.flags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::unprepare_header(WaveHeader& header) {
    std::lock_guard lock(m_mutex);
    if (header.flags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header.flags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::write(WaveHeader& header) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        if (!(header.flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header.flags.load() & WHDR_INQUEUE) return MMSYSERR_INVALPARAM;
        header.flags.store(WHDR_PREPARED | WHDR_INQUEUE);
        m_queue.push_back(&header);
    }
    m_wanted.notify_all();
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::pause() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        m_paused = true;
    }
    backend_pause(true);
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::restart() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        m_paused = false;
    }
    m_wanted.notify_all();
    backend_pause(false);
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::reset() {
    std::deque<WaveHeader*> returned;
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        returned.swap(m_queue);
        m_head_offset = 0;
        m_paused = false;
        for (WaveHeader* header : returned) {
            header->flags.store((header->flags.load() & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
        }
    }
    for (WaveHeader* header : returned) m_notify.post(WaveMessage{MM_WOM_DONE, this, header});
    backend_pause(false);
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        if (!m_queue.empty()) return WAVERR_STILLPLAYING;
        m_closed = true;
    }
    m_wanted.notify_all();
    backend_close();
    m_notify.post(WaveMessage{MM_WOM_CLOSE, this, nullptr});
    return MMSYSERR_NOERROR;
}

uint32_t WaveOut::set_volume(uint32_t volume) {
    m_volume.store(volume);
    return MMSYSERR_NOERROR;
}

std::size_t WaveOut::queued_bytes() {
    std::lock_guard lock(m_mutex);
    std::size_t bytes = 0;
    for (const WaveHeader* header : m_queue) bytes += header->buffer_length;
    return bytes - std::min(bytes, m_head_offset);
}

std::size_t WaveOut::render(uint8_t* out, std::size_t length) {
    std::size_t copied = 0;
    std::deque<WaveHeader*> finished;
    {
        std::lock_guard lock(m_mutex);
        if (m_paused || m_closed) return 0;
        while (copied < length && !m_queue.empty()) {
            WaveHeader* header = m_queue.front();
            const std::size_t count = std::min<std::size_t>(header->buffer_length - m_head_offset, length - copied);
            if (count > 0) std::memcpy(out + copied, header->data + m_head_offset, count);
            copied += count;
            m_head_offset += count;
            if (m_head_offset >= header->buffer_length) {
                m_queue.pop_front();
                m_head_offset = 0;
                header->flags.store((header->flags.load() & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
                finished.push_back(header);
            }
        }
    }
    apply_volume(out, copied);
    for (WaveHeader* header : finished) m_notify.post(WaveMessage{MM_WOM_DONE, this, header});
    return copied;
}

void WaveOut::apply_volume(uint8_t* bytes, std::size_t length) const {
    const uint32_t volume = m_volume.load();
    if (volume == 0xFFFFFFFFu) return;  // full volume leaves the samples bit-exact
    const int32_t gains[2] = {static_cast<int32_t>(volume & 0xFFFF), static_cast<int32_t>(volume >> 16)};
    const int channels = std::max(1, m_format.channels);
    if (m_format.bits == 16) {
        const std::size_t samples = length / 2;
        for (std::size_t i = 0; i < samples; ++i) {
            int16_t sample;
            std::memcpy(&sample, bytes + i * 2, 2);
            const int32_t gain = gains[std::min<std::size_t>(i % static_cast<std::size_t>(channels), 1)];
            sample = static_cast<int16_t>(static_cast<int32_t>(sample) * gain / 65535);
            std::memcpy(bytes + i * 2, &sample, 2);
        }
    } else if (m_format.bits == 8) {
        for (std::size_t i = 0; i < length; ++i) {
            const int32_t gain = gains[std::min<std::size_t>(i % static_cast<std::size_t>(channels), 1)];
            bytes[i] = static_cast<uint8_t>((static_cast<int32_t>(bytes[i]) - 128) * gain / 65535 + 128);
        }
    }
}

bool WaveOut::wait_until_wanted() {
    std::unique_lock lock(m_mutex);
    m_wanted.wait(lock, [this] { return m_closed || (!m_paused && !m_queue.empty()); });
    return !m_closed;
}

}  // namespace os
