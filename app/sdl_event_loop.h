#pragma once
// The GUI thread's event loop over SDL's event queue: the window's loop. Ready posts and tasks are
// counted and queued here, as in the plain loop; an SDL user event only wakes the loop, at most one
// in the queue at a time, so a burst of completions cannot fill SDL's queue. The one timer is the
// timeout of SDL_WaitEventTimeout. Every other SDL event goes to the client: the window procedure.
//
// Order of one turn: ready posts, tasks, platform events, the timer, then the idle handler (frame
// production), then a wait for the next event no longer than the timer and the idle handler allow.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>

#include "core/event_loop.h"

// One of SDL's events; read only in the .cpp files (app/sdl_platform_event.h), so SDL's types stay
// out of the headers.
struct PlatformEvent;

class SdlEventLoop final : public EventLoop {
public:
    class Client {
    public:
        virtual ~Client() = default;
        // Any SDL event that is not the loop's own wake-up; on the loop thread.
        virtual void on_platform_event(const PlatformEvent& event) = 0;
    };

    // Needs SDL's event subsystem initialised for the loop's whole life.
    SdlEventLoop();
    ~SdlEventLoop() override;
    SdlEventLoop(const SdlEventLoop&) = delete;
    SdlEventLoop& operator=(const SdlEventLoop&) = delete;

    void set_client(Client* client) { m_client = client; }

    void set_receiver(EventLoopReceiver* receiver) override { m_receiver = receiver; }
    void post_ready() override;
    void post_task(std::function<void()> task) override;
    void set_timer(uint32_t milliseconds) override;
    void kill_timer() override;
    void wait_for_ready_post() override;
    void set_idle_handler(std::function<int32_t()> handler) override { m_idle = std::move(handler); }
    void run() override;
    void quit() override;

    // Runs turns until condition() holds or timeout_ms pass; true when it holds (tests).
    bool run_until(const std::function<bool()>& condition, uint32_t timeout_ms = 10000);

private:
    // One turn; waits at most max_wait_ms (negative: without limit) when nothing is due. False
    // when quit was asked for and nothing posted is left.
    bool turn(int32_t max_wait_ms);
    bool dispatch_posted();
    void wake();
    bool ready_pending() const { return m_ready_posted.load() != m_ready_taken; }
    bool has_posts() const { return ready_pending() || m_task_count.load() > 0; }
    void handle(const PlatformEvent& event);

    uint32_t m_wake_type = 0;
    std::atomic<bool> m_wake_pending{false};
    std::mutex m_mutex;  // guards m_tasks and the wait of wait_for_ready_post
    std::condition_variable m_condition;
    std::atomic<bool> m_waiting_for_post{false};
    std::deque<std::function<void()>> m_tasks;
    std::atomic<size_t> m_task_count{0};
    std::atomic<uint32_t> m_ready_posted{0};
    uint32_t m_ready_taken = 0;
    std::atomic<bool> m_quit{false};
    bool m_timer_set = false;
    uint32_t m_timer_interval = 0;
    uint32_t m_timer_due = 0;
    EventLoopReceiver* m_receiver = nullptr;
    Client* m_client = nullptr;
    std::function<int32_t()> m_idle;
};
