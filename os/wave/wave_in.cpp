#include <algorithm>
#include <cstring>

#include "os/wave/wave.h"

namespace os {

namespace {
std::atomic<uint32_t> next_device_id{1};
}

uint32_t allocate_wave_device_id() { return next_device_id.fetch_add(1); }

WaveIn::WaveIn(const WaveFormat& format) : m_format(format), m_id(allocate_wave_device_id()) {}

WaveIn::~WaveIn() = default;

uint32_t WaveIn::prepare_header(WaveHeader& header) {
    if (header.data == nullptr || header.buffer_length == 0) return MMSYSERR_INVALPARAM;
    header.flags.fetch_or(WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::unprepare_header(WaveHeader& header) {
    std::lock_guard lock(m_mutex);
    if (header.flags.load() & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
    header.flags.fetch_and(~WHDR_PREPARED);
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::add_buffer(WaveHeader& header) {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        if (!(header.flags.load() & WHDR_PREPARED)) return WAVERR_UNPREPARED;
        if (header.flags.load() & WHDR_INQUEUE) return MMSYSERR_INVALPARAM;
        header.bytes_recorded = 0;
        header.flags.store(WHDR_PREPARED | WHDR_INQUEUE);
        m_queue.push_back(&header);
    }
    m_wanted.notify_all();
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::start() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        if (m_started) return MMSYSERR_NOERROR;
        m_started = true;
    }
    m_wanted.notify_all();
    backend_start();
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::stop() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
    }
    backend_drain();
    {
        std::lock_guard lock(m_mutex);
        m_started = false;
    }
    backend_stop();
    std::lock_guard lock(m_mutex);
    if (!m_queue.empty() && m_queue.front()->bytes_recorded > 0) complete_head_locked();
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::reset() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
    }
    backend_drain();
    {
        std::lock_guard lock(m_mutex);
        m_started = false;
    }
    backend_stop();
    std::lock_guard lock(m_mutex);
    while (!m_queue.empty()) complete_head_locked();
    return MMSYSERR_NOERROR;
}

uint32_t WaveIn::close() {
    {
        std::lock_guard lock(m_mutex);
        if (m_closed) return MMSYSERR_INVALHANDLE;
        m_started = false;
        m_closed = true;
    }
    m_wanted.notify_all();
    backend_close();
    std::lock_guard lock(m_mutex);
    while (!m_queue.empty()) complete_head_locked();
    return MMSYSERR_NOERROR;
}

void WaveIn::deliver(const uint8_t* bytes, std::size_t length) {
    std::lock_guard lock(m_mutex);
    if (!m_started) return;
    while (length > 0 && !m_queue.empty()) {
        WaveHeader* header = m_queue.front();
        const std::size_t room = header->buffer_length - header->bytes_recorded;
        const std::size_t count = std::min(room, length);
        std::memcpy(header->data + header->bytes_recorded, bytes, count);
        header->bytes_recorded += static_cast<uint32_t>(count);
        bytes += count;
        length -= count;
        if (header->bytes_recorded == header->buffer_length) complete_head_locked();
    }
}

void WaveIn::complete_head_locked() {
    WaveHeader* header = m_queue.front();
    m_queue.pop_front();
    header->flags.store((header->flags.load() & ~WHDR_INQUEUE) | WHDR_DONE, std::memory_order_release);
}

bool WaveIn::wait_until_wanted() {
    std::unique_lock lock(m_mutex);
    m_wanted.wait(lock, [this] { return m_closed || (m_started && !m_queue.empty()); });
    return !m_closed;
}

bool WaveIn::is_started() {
    std::lock_guard lock(m_mutex);
    return m_started;
}

std::string WaveIn::failure() {
    backend_check();
    std::lock_guard lock(m_mutex);
    return m_failure;
}

void WaveIn::set_failure(const std::string& reason) {
    std::lock_guard lock(m_mutex);
    if (m_failure.empty()) m_failure = reason;
}

}  // namespace os
