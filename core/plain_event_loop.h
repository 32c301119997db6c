#pragma once
// An event loop over a condition variable: the headless program's loop and the tests' one.
//
// Ready posts go first, then tasks in posting order; the timer is looked at only when nothing is
// posted, so a burst of completions is never held up by a timer, as with window-system timers.
// quit() lets what is already posted, and what that posts in turn, run before run() returns.
//
// A ready post is only a count: posting one is an atomic increment, and the lock is taken only to
// wake a sleeping loop. The timer belongs to the loop thread and needs no lock.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "core/event_loop.h"

class PlainEventLoop final : public EventLoop {
public:
    PlainEventLoop() = default;
    PlainEventLoop(const PlainEventLoop&) = delete;
    PlainEventLoop& operator=(const PlainEventLoop&) = delete;

    void set_receiver(EventLoopReceiver* receiver) override { m_receiver = receiver; }
    void post_ready() override;
    void post_task(std::function<void()> task) override;
    void set_timer(uint32_t milliseconds) override;
    void kill_timer() override;
    void wait_for_ready_post() override;
    void set_idle_handler(std::function<int32_t()> handler) override { m_idle = std::move(handler); }
    void run() override;
    void quit() override;

    // Dispatches, waiting when nothing is due, until condition() holds (checked before the first
    // dispatch and after each one) or timeout_ms have passed on the tick. True when it holds.
    bool run_until(const std::function<bool()>& condition, uint32_t timeout_ms = 10000);
    // Dispatches everything that is due now, without waiting: posts, including those the
    // dispatched ones make, and the timer if its interval has passed on the tick. Returns the
    // number of dispatches.
    int run_until_idle();

    bool timer_is_set() const;
    // Milliseconds of the running timer (0 when none is set).
    uint32_t timer_interval() const;
    size_t pending_posts() const;

private:
    enum class Step { Dispatched, TimerFired, Nothing, Quit };

    // One dispatch; waits at most wait_ms for something to do (0: no wait).
    Step dispatch_one(uint32_t wait_ms, bool allow_timer = true);
    // Sleeps until something is posted or quit, at most milliseconds.
    void sleep(long long milliseconds);
    bool has_posts() const { return ready_pending() || m_task_count.load() > 0; }
    // Posters count up m_ready_posted; only the loop thread counts m_ready_taken, so taking a
    // post needs no atomic read-modify-write.
    bool ready_pending() const { return m_ready_posted.load() != m_ready_taken; }
    // Ticks until the timer is due (<= 0 when due).
    int32_t timer_remaining() const;

    std::mutex m_mutex;  // guards m_tasks and the sleep
    std::condition_variable m_condition;
    std::deque<std::function<void()>> m_tasks;
    std::atomic<size_t> m_task_count{0};
    std::atomic<uint32_t> m_ready_posted{0};
    uint32_t m_ready_taken = 0;
    std::atomic<bool> m_waiting{false};  // the loop thread sleeps, or is about to
    std::atomic<bool> m_quit{false};
    bool m_timer_set = false;
    uint32_t m_timer_interval = 0;
    uint32_t m_timer_due = 0;
    EventLoopReceiver* m_receiver = nullptr;
    std::function<int32_t()> m_idle;
};
