#pragma once
// A platform event: manual-reset stays signalled until reset(); automatic-reset releases one
// waiter and clears itself. Created not signalled.
#include <condition_variable>
#include <cstdint>
#include <mutex>

class Event {
public:
    enum class Reset { Manual, Automatic };
    explicit Event(Reset kind = Reset::Automatic) : m_manual(kind == Reset::Manual) {}
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;

    void set();
    void reset();
    void wait();
    // Waits at most the given milliseconds; true when the event was signalled.
    bool wait_for(uint32_t milliseconds);

private:
    std::mutex m_mutex;
    std::condition_variable m_condition;
    bool m_signalled = false;
    bool m_manual;
};
