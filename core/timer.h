#pragma once
// One-shot timers on the scheduler. Every periodic activity is a Timer that its observer arms
// again from on_timer(). Timers live and fire on the GUI thread.
#include <cstdint>
#include <memory>

#include "core/active.h"

class Timer;

class TimerObserver {
public:
    virtual void on_timer(Timer& timer) = 0;
    virtual ~TimerObserver() = default;
};

class TimerActive final : public CActive {
public:
    explicit TimerActive(Timer& owner) : m_owner(owner) {}

    Timer& owner() { return m_owner; }
    // Tick at which the timer is due; compared by signed difference so the tick may wrap.
    uint32_t due() const { return m_due; }
    void set_due(uint32_t due) { m_due = due; }

protected:
    void run() override;
    // Makes the timer due now so that the cancel finds it queued at once.
    void do_cancel() override;

private:
    Timer& m_owner;
    uint32_t m_due = 0;
};

class Timer {
public:
    // The observer is not owned and must outlive the timer's last arming.
    explicit Timer(TimerObserver& observer);
    Timer(const Timer&) = delete;
    Timer& operator=(const Timer&) = delete;
    ~Timer();

    // Arms the timer; an earlier arming is replaced. Delays round to whole milliseconds.
    void after(double seconds);
    void cancel();
    bool is_armed() const { return m_active->is_active(); }

    TimerObserver& observer() { return m_observer; }

private:
    TimerObserver& m_observer;
    std::unique_ptr<TimerActive> m_active;
};
