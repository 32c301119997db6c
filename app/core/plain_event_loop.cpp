#include "app/core/plain_event_loop.h"

#include <chrono>
#include <limits>

#include "os/tick.h"

void PlainEventLoop::post_ready() {
    std::lock_guard lock(m_mutex);
    m_posts.push_back(Post{});
    ++m_ready_posts;
    // Only the loop thread ever sleeps here; waking it is needless when it is busy.
    if (m_waiting) m_condition.notify_one();
}

void PlainEventLoop::post_task(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    m_posts.push_back(Post{std::move(task)});
    if (m_waiting) m_condition.notify_one();
}

void PlainEventLoop::set_timer(uint32_t milliseconds) {
    std::lock_guard lock(m_mutex);
    m_timer_set = true;
    m_timer_interval = milliseconds;
    m_timer_due = os::tick_count() + milliseconds;
    if (m_waiting) m_condition.notify_one();
}

void PlainEventLoop::kill_timer() {
    std::lock_guard lock(m_mutex);
    m_timer_set = false;
    m_timer_interval = 0;
}

bool PlainEventLoop::timer_is_set() const {
    std::lock_guard lock(m_mutex);
    return m_timer_set;
}

uint32_t PlainEventLoop::timer_interval() const {
    std::lock_guard lock(m_mutex);
    return m_timer_set ? m_timer_interval : 0;
}

size_t PlainEventLoop::pending_posts() const {
    std::lock_guard lock(m_mutex);
    return m_posts.size();
}

void PlainEventLoop::wait_for_ready_post() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_ready_posts > 0) {
            for (auto it = m_posts.begin(); it != m_posts.end(); ++it) {
                if (!it->task) {
                    m_posts.erase(it);
                    --m_ready_posts;
                    return;
                }
            }
        }
        m_waiting = true;
        m_condition.wait(lock);
        m_waiting = false;
    }
}

void PlainEventLoop::quit() {
    std::lock_guard lock(m_mutex);
    m_quit = true;
    if (m_waiting) m_condition.notify_one();
}

int32_t PlainEventLoop::timer_remaining() const { return static_cast<int32_t>(m_timer_due - os::tick_count()); }

PlainEventLoop::Step PlainEventLoop::dispatch_one(uint32_t wait_ms) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (!m_posts.empty()) {
            Post post = std::move(m_posts.front());
            m_posts.pop_front();
            if (!post.task) --m_ready_posts;
            EventLoopReceiver* receiver = m_receiver;
            lock.unlock();
            if (post.task) {
                post.task();
            } else if (receiver) {
                receiver->on_ready_post();
            }
            return Step::Dispatched;
        }
        if (m_quit) {
            m_quit = false;
            return Step::Quit;
        }
        int32_t timer_wait = std::numeric_limits<int32_t>::max();
        if (m_timer_set) {
            timer_wait = timer_remaining();
            if (timer_wait <= 0) {
                m_timer_due = os::tick_count() + m_timer_interval;
                EventLoopReceiver* receiver = m_receiver;
                lock.unlock();
                if (receiver) receiver->on_timer_expired();
                return Step::Dispatched;
            }
        }
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (waited >= static_cast<long long>(wait_ms)) return Step::Nothing;
        long long wait = static_cast<long long>(wait_ms) - waited;
        if (timer_wait < wait) wait = timer_wait;
        m_waiting = true;
        m_condition.wait_for(lock, std::chrono::milliseconds(wait));
        m_waiting = false;
    }
}

void PlainEventLoop::run() {
    while (dispatch_one(std::numeric_limits<uint32_t>::max()) != Step::Quit) {
    }
}

bool PlainEventLoop::run_until(const std::function<bool()>& condition, uint32_t timeout_ms) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    while (!condition()) {
        const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
        if (waited >= static_cast<long long>(timeout_ms)) return false;
        if (dispatch_one(static_cast<uint32_t>(timeout_ms - waited)) == Step::Quit) return condition();
    }
    return true;
}

int PlainEventLoop::run_until_idle() {
    int count = 0;
    bool timer_seen = false;
    for (;;) {
        {
            // The timer fires at most once per call: a short interval must not keep this busy.
            std::lock_guard lock(m_mutex);
            if (m_posts.empty() && (timer_seen || !m_timer_set || timer_remaining() > 0)) return count;
            if (m_posts.empty()) timer_seen = true;
        }
        if (dispatch_one(0) != Step::Dispatched) return count;
        ++count;
    }
}
