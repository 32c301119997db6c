#include "app/core/event.h"

#include <chrono>
#include <thread>

#include "os/tick.h"

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
    if (!m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return m_signalled; })) return false;
    if (!m_manual) m_signalled = false;
    return true;
}

void sleep_seconds(double seconds) {
    const auto milliseconds = static_cast<long long>(seconds * 1000.0);
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Stopwatch::restart() { m_start = static_cast<double>(os::tick_count()); }

double Stopwatch::elapsed() const {
    // Unsigned difference survives the tick's wrap-around.
    const uint32_t now = os::tick_count();
    return static_cast<double>(static_cast<uint32_t>(now - static_cast<uint32_t>(m_start))) * 0.001;
}

double Stopwatch::lap() {
    const double seconds = elapsed();
    restart();
    return seconds;
}
