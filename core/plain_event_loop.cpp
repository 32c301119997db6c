#include "core/plain_event_loop.h"

#include <chrono>
#include <limits>

#include "os/tick.h"

namespace {
using Clock = std::chrono::steady_clock;

long long milliseconds_since(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}
}  // namespace

// A poster increments first and then looks at m_waiting; the loop sets m_waiting first and then
// looks at the counts. Both sequentially consistent, so at least one of them sees the other, and
// the poster's lock cannot be taken between the loop's last look and its sleep.
void PlainEventLoop::post_ready() {
    m_ready_posted.fetch_add(1);
    if (m_waiting.load()) {
        std::lock_guard lock(m_mutex);
        m_condition.notify_one();
    }
}

void PlainEventLoop::post_task(std::function<void()> task) {
    std::lock_guard lock(m_mutex);
    m_tasks.push_back(std::move(task));
    m_task_count.fetch_add(1);
    if (m_waiting.load()) m_condition.notify_one();
}

void PlainEventLoop::quit() {
    m_quit.store(true);
    std::lock_guard lock(m_mutex);
    m_condition.notify_one();
}

void PlainEventLoop::set_timer(uint32_t milliseconds) {
    m_timer_set = true;
    m_timer_interval = milliseconds;
    m_timer_due = os::tick_count() + milliseconds;
}

void PlainEventLoop::kill_timer() {
    m_timer_set = false;
    m_timer_interval = 0;
}

bool PlainEventLoop::timer_is_set() const { return m_timer_set; }

uint32_t PlainEventLoop::timer_interval() const { return m_timer_set ? m_timer_interval : 0; }

size_t PlainEventLoop::pending_posts() const { return (m_ready_posted.load() - m_ready_taken) + m_task_count.load(); }

int32_t PlainEventLoop::timer_remaining() const { return static_cast<int32_t>(m_timer_due - os::tick_count()); }

void PlainEventLoop::sleep(long long milliseconds) {
    std::unique_lock lock(m_mutex);
    m_waiting.store(true);
    if (!has_posts() && !m_quit.load()) m_condition.wait_for(lock, std::chrono::milliseconds(milliseconds));
    m_waiting.store(false);
}

void PlainEventLoop::wait_for_ready_post() {
    // Only the loop thread takes ready posts, so a post seen pending stays so.
    while (!ready_pending()) {
        std::unique_lock lock(m_mutex);
        m_waiting.store(true);
        if (!ready_pending()) m_condition.wait(lock);
        m_waiting.store(false);
    }
    ++m_ready_taken;
}

PlainEventLoop::Step PlainEventLoop::dispatch_one(uint32_t wait_ms, bool allow_timer) {
    Clock::time_point start{};
    if (wait_ms > 0) start = Clock::now();
    for (;;) {
        if (ready_pending()) {
            ++m_ready_taken;
            if (m_receiver) m_receiver->on_ready_post();
            return Step::Dispatched;
        }
        if (m_task_count.load() > 0) {
            std::function<void()> task;
            {
                std::lock_guard lock(m_mutex);
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
                m_task_count.fetch_sub(1);
            }
            task();
            return Step::Dispatched;
        }
        if (m_quit.load() && m_quit.exchange(false)) return Step::Quit;
        long long wait = std::numeric_limits<int32_t>::max();
        if (m_timer_set) {
            const int32_t remaining = timer_remaining();
            if (remaining <= 0 && allow_timer) {
                // Keeps firing every interval until killed, as a window-system timer does.
                m_timer_due = os::tick_count() + m_timer_interval;
                if (m_receiver) m_receiver->on_timer_expired();
                return Step::TimerFired;
            }
            wait = remaining;
        }
        if (wait_ms == 0) return Step::Nothing;
        if (m_idle) {
            const int32_t idle_wait = m_idle();
            if (idle_wait >= 0) wait = std::min<long long>(wait, idle_wait);
            // The handler may have posted; that goes first.
            if (has_posts()) continue;
        }
        const long long left = static_cast<long long>(wait_ms) - milliseconds_since(start);
        if (left <= 0) return Step::Nothing;
        sleep(std::max(1LL, std::min(wait, left)));
    }
}

void PlainEventLoop::run() {
    while (dispatch_one(std::numeric_limits<uint32_t>::max()) != Step::Quit) {
    }
}

bool PlainEventLoop::run_until(const std::function<bool()>& condition, uint32_t timeout_ms) {
    const auto start = Clock::now();
    while (!condition()) {
        const long long waited = milliseconds_since(start);
        if (waited >= static_cast<long long>(timeout_ms)) return false;
        if (dispatch_one(static_cast<uint32_t>(timeout_ms - waited)) == Step::Quit) return condition();
    }
    return true;
}

int PlainEventLoop::run_until_idle() {
    int count = 0;
    // The timer fires at most once per call: a short interval must not keep this busy.
    bool allow_timer = true;
    for (;;) {
        const Step step = dispatch_one(0, allow_timer);
        if (step == Step::Quit) m_quit.store(true);  // left for run() to see
        if (step == Step::Quit || step == Step::Nothing) return count;
        if (step == Step::TimerFired) allow_timer = false;
        ++count;
    }
}
