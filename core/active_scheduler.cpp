#include "core/active_scheduler.h"

#include <algorithm>
#include <cmath>

#include "core/active.h"
#include "core/timer.h"
#include "os/log.h"
#include "os/text.h"
#include "os/tick.h"

namespace {
std::atomic<CActiveScheduler*> g_instance{nullptr};

// Rounds to the nearest millisecond and truncates to 32 bits. Delays beyond the 32-bit range (or
// not a number) are clamped first: converting them would be undefined, and a timer cannot wait
// longer than half the tick's cycle anyway.
int32_t delay_milliseconds(double seconds) {
    const double milliseconds = seconds * 1000.0 + 0.5;
    if (std::isnan(milliseconds)) return 0;
    if (milliseconds >= 2147483647.0) return 2147483647;
    if (milliseconds <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int32_t>(milliseconds);
}
}  // namespace

CActiveScheduler::CActiveScheduler(EventLoop& loop) : m_loop(loop) {
    m_loop.set_receiver(this);
    g_instance.store(this);
}

CActiveScheduler::~CActiveScheduler() {
    const int32_t counter = m_active_counter.load();
    if (counter != 0) {
        os::fatal_error(u"", u"Some active objects still live while scheduler is terminating active_counter=" +
                                 os::to_text(counter));
    }
    m_loop.kill_timer();
    m_loop.set_receiver(nullptr);
    CActiveScheduler* self = this;
    g_instance.compare_exchange_strong(self, nullptr);
}

CActiveScheduler* CActiveScheduler::instance() { return g_instance.load(); }

void CActiveScheduler::set_active(CActive& object) {
    if (object.is_active()) {
        os::fatal_error(u"CActiveScheduler::set_active()",
                        u"Object " + os::to_text(object.id()) + u" is already active");
    }
    object.m_active.store(true, std::memory_order_release);
    m_active_counter.fetch_add(1);
}

void CActiveScheduler::notify(CActive& object) {
    if (!object.is_active()) {
        os::fatal_error(u"CActiveScheduler::notify()",
                        u"Active object " + os::to_text(object.id()) + u" is not active");
    }
    std::lock_guard lock(m_lock);
    m_ready.push_back(&object);
    m_ready_size.store(m_ready.size(), std::memory_order_release);
    // Posting under the lock keeps the posts in the order of the queue.
    m_loop.post_ready();
}

void CActiveScheduler::process_actives() {
    for (;;) {
        // A notify racing with this look posts its own wake-up, so nothing is left behind.
        if (m_ready_size.load(std::memory_order_acquire) == 0) return;
        CActive* object;
        {
            std::lock_guard lock(m_lock);
            if (m_ready.empty()) return;
            object = m_ready.front();
            m_ready.pop_front();
            m_ready_size.store(m_ready.size(), std::memory_order_relaxed);
        }
        if (!object->is_active()) {
            os::fatal_error(u"CActiveScheduler::process_actives()",
                            u"Active object " + os::to_text(object->id()) + u" is not marked active");
        }
        // Cleared before run() so that run() may arm the object again.
        object->m_active.store(false, std::memory_order_release);
        m_active_counter.fetch_sub(1);
        object->run();
    }
}

void CActiveScheduler::cancel(CActive& object) {
    object.do_cancel();
    bool retrieved = false;
    for (;;) {
        {
            std::lock_guard lock(m_lock);
            auto it = std::find(m_ready.begin(), m_ready.end(), &object);
            if (it != m_ready.end()) {
                m_ready.erase(it);
                m_ready_size.store(m_ready.size(), std::memory_order_relaxed);
                object.m_active.store(false, std::memory_order_release);
                m_active_counter.fetch_sub(1);
                break;
            }
        }
        // Takes the wake-up without running anything: no run() may nest inside a cancel.
        m_loop.wait_for_ready_post();
        retrieved = true;
    }
    // The wake-ups taken above may belong to other objects that completed meanwhile.
    if (retrieved) m_loop.post_ready();
}

void CActiveScheduler::after(TimerActive& object, double seconds) {
    object.cancel();
    object.set_due(os::tick_count() + static_cast<uint32_t>(delay_milliseconds(seconds)));
    set_active(object);
    m_timers.push_back(&object);
    check_timers();
}

void CActiveScheduler::check_timers() {
    m_loop.kill_timer();
    const uint32_t now = os::tick_count();
    int32_t nearest = nearest_limit;
    auto kept = m_timers.begin();
    // notify() never touches the timer list, so walking and compacting it here is safe.
    for (TimerActive* timer : m_timers) {
        const int32_t diff = static_cast<int32_t>(timer->due() - now);
        if (diff <= 0) {
            notify(*timer);
        } else {
            *kept++ = timer;
            nearest = std::min(nearest, diff);
        }
    }
    m_timers.erase(kept, m_timers.end());
    if (nearest != nearest_limit) m_loop.set_timer(static_cast<uint32_t>(nearest));
}
