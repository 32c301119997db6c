#include "core/timer.h"

#include "core/active_scheduler.h"
#include "os/log.h"
#include "os/tick.h"

void TimerActive::run() { m_owner.observer().on_timer(m_owner); }

void TimerActive::do_cancel() {
    CActiveScheduler* scheduler = CActiveScheduler::instance();
    if (!scheduler) os::fatal_error(u"TimerActive::do_cancel()", u"No active scheduler");
    m_due = os::tick_count();
    scheduler->check_timers();
}

Timer::Timer(TimerObserver& observer) : m_observer(observer), m_active(std::make_unique<TimerActive>(*this)) {}

Timer::~Timer() { cancel(); }

void Timer::after(double seconds) {
    CActiveScheduler* scheduler = CActiveScheduler::instance();
    if (!scheduler) os::fatal_error(u"Timer::after()", u"No active scheduler");
    scheduler->after(*m_active, seconds);
}

void Timer::cancel() { m_active->cancel(); }
