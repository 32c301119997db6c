#pragma once
// The polling half of CallMonitor. Its state is the last thing told to the observer; only on_timer
// changes it, and every change is one observer call (a change of party two: the end of the old
// call, the start of the new one).
#include <cstdint>
#include <string>

#include "core/timer.h"
#include "telephony/call_direction.h"

class CallMonitor;

class CallMonitorImpl final : public TimerObserver {
public:
    static constexpr double poll_seconds = 0.1;
    // How long a call must stay gone before its end is told: a stack that flaps between states
    // must not cut one call into pieces.
    static constexpr double end_hold_seconds = 0.5;

    // Arms the poll at once.
    explicit CallMonitorImpl(CallMonitor& owner);
    // Cancels the poll.
    ~CallMonitorImpl() override;

    // One poll, then the next one is armed.
    void on_timer(Timer& timer) override;

    bool in_call() const { return m_in_call; }
    // How long the call told last was seen in progress, in seconds.
    double call_seconds() const;

private:
    void poll();
    void tell_start(const std::u16string& name, const std::u16string& number, CallDirection direction,
                    uint32_t identity);
    void tell_stop();

    CallMonitor& m_owner;
    bool m_in_call = false;
    // Who the told call is with: the publisher's identity of it, else its number.
    uint32_t m_identity = 0;
    std::u16string m_number;
    // Ticks (os/tick.h).
    uint32_t m_started = 0;
    uint32_t m_last_seen = 0;
    bool m_said_silent = false;
    Timer m_timer;
};
