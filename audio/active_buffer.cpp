#include "audio/active_buffer.h"

#include <mutex>

#include "audio/memory_status.h"
#include "os/log.h"

class ActiveBuffer::Worker : public Thread {
public:
    explicit Worker(ActiveBuffer& buffer) : m_buffer(buffer) {}

protected:
    void run() override { m_buffer.run_loop(*this); }

private:
    ActiveBuffer& m_buffer;
};

ActiveBuffer::ActiveBuffer() : m_wake(Event::Reset::Automatic), m_worker(std::make_unique<Worker>(*this)) {
    m_worker->start();
}

ActiveBuffer::~ActiveBuffer() {
    m_worker->request_stop();
    m_wake.set();
    m_worker->join();
    std::lock_guard guard(lock());
    m_fifo.clear();
    m_queued_bytes = 0;
}

void ActiveBuffer::on_data(const AudioBlock& block) {
    std::lock_guard guard(lock());
    if (!m_valid) return;
    if (m_queued_bytes > max_queued_bytes) {
        m_valid = false;
        os::log() << u"ActiveBuffer::invalid1 size=" << m_queued_bytes << u"\n";
        return;
    }
    const uint64_t available = available_physical_memory();
    if (available < min_available_memory) {
        m_valid = false;
        os::log() << u"ActiveBuffer::invalid2 status.dwAvailPhys=" << available << u"\n";
        return;
    }
    m_fifo.push_back(block);
    m_queued_bytes += block.length();
    m_wake.set();
}

AudioBlock ActiveBuffer::get_data(int) { return AudioBlock(); }

void ActiveBuffer::start() {
    std::lock_guard guard(lock());
    m_valid = true;
    m_held = false;
    m_fifo.clear();
    m_queued_bytes = 0;
}

void ActiveBuffer::hold(bool held) {
    {
        std::lock_guard guard(lock());
        m_held = held;
    }
    m_wake.set();
}

bool ActiveBuffer::is_valid() {
    std::lock_guard guard(lock());
    return m_valid;
}

std::size_t ActiveBuffer::queued_bytes() {
    std::lock_guard guard(lock());
    return m_queued_bytes;
}

std::size_t ActiveBuffer::queued_blocks() {
    std::lock_guard guard(lock());
    return m_fifo.size() + m_in_flight;
}

void ActiveBuffer::run_loop(Thread& thread) {
    os::mark_audio_thread();
    while (!thread.stop_requested()) {
        AudioBlock block;
        bool taken = false;
        {
            std::lock_guard guard(lock());
            if (!m_fifo.empty() && !m_held) {
                block = std::move(m_fifo.front());
                m_fifo.pop_front();
                m_queued_bytes -= block.length();
                m_in_flight = 1;
                taken = true;
            }
        }
        if (!taken) {
            m_wake.wait();
            continue;
        }
        feed(*this, block);    // the writer runs here, outside this node's lock
        block = AudioBlock();  // samples are released before the count says the writer is done
        std::lock_guard guard(lock());
        m_in_flight = 0;
    }
}
