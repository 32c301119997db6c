#include "os/wave/wave.h"

namespace os {

void MessageQueue::post(const WaveMessage& message) {
    {
        std::lock_guard lock(m_mutex);
        m_messages.push_back(message);
    }
    m_condition.notify_one();
}

bool MessageQueue::peek(WaveMessage& message) {
    std::lock_guard lock(m_mutex);
    if (m_messages.empty()) return false;
    message = m_messages.front();
    m_messages.pop_front();
    return true;
}

void MessageQueue::get(WaveMessage& message) {
    std::unique_lock lock(m_mutex);
    m_condition.wait(lock, [this] { return !m_messages.empty(); });
    message = m_messages.front();
    m_messages.pop_front();
}

std::size_t MessageQueue::size() {
    std::lock_guard lock(m_mutex);
    return m_messages.size();
}

}  // namespace os
