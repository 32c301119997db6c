#pragma once
// The scheduler of active objects and timers, one per process, created by the window host at start
// and reachable through CActiveScheduler::instance().
//
// Threads: notify() may be called from any thread. Everything else (process_actives, cancel,
// after, check_timers, the timer list) belongs to the GUI thread that runs the event loop. The
// lock guards the ready queue only and is never held while run() executes.
#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

#include "core/event_loop.h"

class CActive;
class TimerActive;

class CActiveScheduler final : public EventLoopReceiver {
public:
    // A timer due this far ahead or further does not start the loop's timer by itself.
    static constexpr int32_t nearest_limit = 10000000;

    // Attaches itself to the loop, which must outlive it.
    explicit CActiveScheduler(EventLoop& loop);
    CActiveScheduler(const CActiveScheduler&) = delete;
    CActiveScheduler& operator=(const CActiveScheduler&) = delete;
    // Objects still active at this point are a fatal error.
    ~CActiveScheduler() override;

    // The scheduler of the process; nullptr when none exists.
    static CActiveScheduler* instance();

    void set_active(CActive& object);
    // The object's request has completed: queue it and wake the loop. Any thread.
    void notify(CActive& object);
    // Runs every queued object, including those queued while this runs.
    void process_actives();
    // Completes and removes the object's outstanding request; its run() is never called.
    void cancel(CActive& object);

    // Arms a timer object seconds from now, rounded to whole milliseconds.
    void after(TimerActive& object, double seconds);
    // Queues every due timer and sets the loop's timer to the nearest remaining one.
    void check_timers();

    int32_t active_counter() const { return m_active_counter.load(); }
    EventLoop& loop() { return m_loop; }

private:
    void on_ready_post() override { process_actives(); }
    void on_timer_expired() override { check_timers(); }

    EventLoop& m_loop;
    std::mutex m_lock;
    std::atomic<int32_t> m_active_counter{0};
    std::deque<CActive*> m_ready;
    // Size of m_ready, written under the lock: an empty queue is seen without taking it.
    std::atomic<size_t> m_ready_size{0};
    std::vector<TimerActive*> m_timers;  // in arming order
};
