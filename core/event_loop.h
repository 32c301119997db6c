#pragma once
// The GUI thread's event loop as the scheduler sees it. The scheduler needs only a way to be woken
// when an object has completed, one timer, and a way to wait for a wake-up without running
// anything (its cancel). The headless program and the tests run a PlainEventLoop; the window
// implements the same interface over SDL events.
#include <cstdint>
#include <functional>

// What the loop calls on its own thread when a wake-up arrives.
class EventLoopReceiver {
public:
    virtual ~EventLoopReceiver() = default;
    // One call per post_ready() that was not taken by wait_for_ready_post().
    virtual void on_ready_post() = 0;
    // The timer set with set_timer() has expired; it keeps firing every interval until killed.
    virtual void on_timer_expired() = 0;
};

class EventLoop {
public:
    virtual ~EventLoop() = default;

    // The receiver of ready posts and timer expiries; nullptr detaches it.
    virtual void set_receiver(EventLoopReceiver* receiver) = 0;

    // Any thread: one wake-up per call, delivered in posting order.
    virtual void post_ready() = 0;
    // Any thread: runs task on the loop's thread, in posting order with the ready posts.
    virtual void post_task(std::function<void()> task) = 0;

    // Loop thread: the one timer; a new interval replaces the running one.
    virtual void set_timer(uint32_t milliseconds) = 0;
    virtual void kill_timer() = 0;

    // Loop thread: blocks until a ready post is queued and removes it without dispatching it.
    // Everything else that is queued stays where it is.
    virtual void wait_for_ready_post() = 0;

    // Loop thread: run() calls the handler whenever nothing is due, before it waits. The handler
    // returns how many milliseconds the loop may wait before calling it again, or a negative number
    // to wait only for the next wake-up. The window produces its frames here.
    virtual void set_idle_handler(std::function<int32_t()> handler) = 0;

    // Loop thread: dispatches until quit() was called and nothing posted is left.
    virtual void run() = 0;
    // Any thread.
    virtual void quit() = 0;
};
