#include "os/event.h"

#include <chrono>

void Event::set() {
    std::lock_guard lock(m_mutex);
    m_signalled = true;
    if (m_manual) {
        m_condition.notify_all();
    } else {
        m_condition.notify_one();
    }
}

void Event::reset() {
    std::lock_guard lock(m_mutex);
    m_signalled = false;
}

void Event::wait() {
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return m_signalled; });
    if (!m_manual) m_signalled = false;
}

bool Event::wait_for(uint32_t milliseconds) {
    std::unique_lock lock(m_mutex);
    if (!m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_signalled; }))
        return false;
    if (!m_manual) m_signalled = false;
    return true;
}
