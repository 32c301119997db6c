#pragma once
// An event loop over a condition variable: the headless program's loop and the tests' one.
//
// Posts are dispatched in FIFO order; the timer is looked at only when no post is waiting, so a
// burst of completions is never held up by a timer, as with window-system timers. quit() lets
// what is already posted, and what that posts in turn, run before run() returns.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "app/core/event_loop.h"

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
    struct Post {
        std::function<void()> task;  // empty for a ready post
    };
    enum class Step { Dispatched, Nothing, Quit };

    // One dispatch; waits at most wait_ms for something to do (0: no wait).
    Step dispatch_one(uint32_t wait_ms);
    // Ticks until the timer is due (<= 0 when due); the lock is held.
    int32_t timer_remaining() const;

    mutable std::mutex m_mutex;
    std::condition_variable m_condition;
    std::deque<Post> m_posts;
    size_t m_ready_posts = 0;  // ready posts among m_posts
    bool m_waiting = false;   // the loop thread sleeps on the condition
    bool m_quit = false;
    bool m_timer_set = false;
    uint32_t m_timer_interval = 0;
    uint32_t m_timer_due = 0;
    EventLoopReceiver* m_receiver = nullptr;
};
