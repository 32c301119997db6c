#pragma once
// The polling half of CallMonitor. Its state is the last thing told to the observer; only on_timer
// changes it, and every change is exactly one observer call.
#include "app/core/timer.h"

class CallMonitor;

class CallMonitorImpl final : public TimerObserver {
public:
    static constexpr double poll_seconds = 0.1;

    // Arms the poll at once.
    explicit CallMonitorImpl(CallMonitor& owner);
    // Cancels the poll.
    ~CallMonitorImpl() override;

    // One poll, then the next one is armed.
    void on_timer(Timer& timer) override;

    bool in_call() const { return m_in_call; }

private:
    void poll();

    CallMonitor& m_owner;
    bool m_in_call = false;
    Timer m_timer;
};
