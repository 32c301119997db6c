#include "app/sdl_event_loop.h"

#include <SDL.h>

#include <algorithm>

#include "app/sdl_platform_event.h"
#include "os/tick.h"

SdlEventLoop::SdlEventLoop() {
    m_wake_type = SDL_RegisterEvents(1);
    if (m_wake_type == static_cast<uint32_t>(-1)) m_wake_type = SDL_USEREVENT;
}

SdlEventLoop::~SdlEventLoop() {
    // A wake-up left in SDL's queue would be taken for someone else's event by a later loop.
    SDL_FlushEvent(m_wake_type);
}

// A poster counts first and then pushes the wake-up unless one is queued; the loop clears the
// flag when it takes the wake-up and looks at the counts afterwards, so a post is never missed.
void SdlEventLoop::wake() {
    if (m_wake_pending.exchange(true)) return;
    SDL_Event event{};
    event.type = m_wake_type;
    // A full queue is being emptied by a busy loop, which will see the counts anyway.
    if (SDL_PushEvent(&event) != 1) m_wake_pending.store(false);
}

void SdlEventLoop::post_ready() {
    m_ready_posted.fetch_add(1);
    if (m_waiting_for_post.load()) {
        std::lock_guard lock(m_mutex);
        m_condition.notify_one();
    }
    wake();
}

void SdlEventLoop::post_task(std::function<void()> task) {
    {
        std::lock_guard lock(m_mutex);
        m_tasks.push_back(std::move(task));
        m_task_count.fetch_add(1);
    }
    wake();
}

void SdlEventLoop::quit() {
    m_quit.store(true);
    wake();
}

void SdlEventLoop::set_timer(uint32_t milliseconds) {
    m_timer_set = true;
    m_timer_interval = milliseconds;
    m_timer_due = os::tick_count() + milliseconds;
}

void SdlEventLoop::kill_timer() {
    m_timer_set = false;
    m_timer_interval = 0;
}

void SdlEventLoop::wait_for_ready_post() {
    // Only the loop thread takes ready posts, so a post seen pending stays so. Platform events
    // stay queued in SDL meanwhile: nothing may run inside a cancel.
    while (!ready_pending()) {
        std::unique_lock lock(m_mutex);
        m_waiting_for_post.store(true);
        if (!ready_pending()) m_condition.wait(lock);
        m_waiting_for_post.store(false);
    }
    ++m_ready_taken;
}

bool SdlEventLoop::dispatch_posted() {
    if (ready_pending()) {
        ++m_ready_taken;
        if (m_receiver) m_receiver->on_ready_post();
        return true;
    }
    if (m_task_count.load() == 0) return false;
    std::function<void()> task;
    {
        std::lock_guard lock(m_mutex);
        task = std::move(m_tasks.front());
        m_tasks.pop_front();
        m_task_count.fetch_sub(1);
    }
    task();
    return true;
}

void SdlEventLoop::handle(const PlatformEvent& event) {
    if (event.sdl.type == m_wake_type) {
        m_wake_pending.store(false);
        return;
    }
    if (m_client) m_client->on_platform_event(event);
}

bool SdlEventLoop::turn(int32_t max_wait_ms) {
    bool dispatched = false;
    // What is posted now runs first; posts made meanwhile wait for the next turn, so a stream of
    // completions cannot starve the window.
    for (size_t due = (m_ready_posted.load() - m_ready_taken) + m_task_count.load(); due > 0; --due) {
        if (!dispatch_posted()) break;
        dispatched = true;
    }
    PlatformEvent event;
    // Only what has arrived by now: events that handling queues wait for the next turn too.
    SDL_PumpEvents();
    for (int queued = SDL_PeepEvents(nullptr, 0, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT); queued > 0; --queued) {
        if (SDL_PollEvent(&event.sdl) != 1) break;
        handle(event);
        dispatched = true;
    }
    if (m_quit.load() && !has_posts()) {
        m_quit.store(false);
        return false;
    }
    if (m_timer_set && static_cast<int32_t>(m_timer_due - os::tick_count()) <= 0) {
        // Keeps firing every interval until killed, as a window-system timer does.
        m_timer_due = os::tick_count() + m_timer_interval;
        if (m_receiver) m_receiver->on_timer_expired();
        dispatched = true;
    }
    if (dispatched || has_posts()) return true;

    int32_t wait = max_wait_ms;
    auto bound = [&wait](int32_t limit) { wait = wait < 0 ? limit : std::min(wait, limit); };
    if (m_idle) {
        const int32_t idle_wait = m_idle();
        if (has_posts()) return true;
        if (idle_wait >= 0) bound(idle_wait);
    }
    if (m_timer_set) bound(std::max<int32_t>(0, static_cast<int32_t>(m_timer_due - os::tick_count())));
    if (wait == 0) return true;
    if (SDL_WaitEventTimeout(&event.sdl, wait) == 1) handle(event);
    return true;
}

void SdlEventLoop::run() {
    while (turn(-1)) {
    }
}

bool SdlEventLoop::run_until(const std::function<bool()>& condition, uint32_t timeout_ms) {
    const uint32_t start = os::tick_count();
    while (!condition()) {
        const uint32_t waited = os::tick_count() - start;
        if (waited >= timeout_ms) return false;
        if (!turn(static_cast<int32_t>(std::min<uint32_t>(timeout_ms - waited, 50)))) return condition();
    }
    return true;
}
