#include "telephony/call_monitor.h"

#include "os/log.h"
#include "os/tick.h"
#include "telephony/call_launch.h"
#include "telephony/call_monitor_impl.h"
#include "telephony/call_state.h"
#include "telephony/contacts/phone_number.h"
#include "telephony/phone_state.h"

namespace {

// On the tick, the clock the timers run on.
double seconds_between(uint32_t from, uint32_t to) { return static_cast<int32_t>(to - from) / 1000.0; }

}  // namespace

CallMonitorImpl::CallMonitorImpl(CallMonitor& owner) : m_owner(owner), m_timer(*this) { m_timer.after(poll_seconds); }

CallMonitorImpl::~CallMonitorImpl() { m_timer.cancel(); }

void CallMonitorImpl::on_timer(Timer&) {
    poll();
    m_timer.after(poll_seconds);
}

double CallMonitorImpl::call_seconds() const { return seconds_between(m_started, m_last_seen); }

void CallMonitorImpl::poll() {
    CallMonitorObserver* observer = m_owner.observer();
    if (!observer) return;
    std::u16string name;
    std::u16string number;
    const CallDirection direction = query_call_state(name, number);
    const uint32_t now = os::tick_count();
    const bool silent = phone_state::publisher_gone();
    if (silent != m_said_silent) {
        m_said_silent = silent;
        os::log() << u"CallMonitorImpl publisher "
                  << (silent ? u"silent for over 5 s: its calls are over" : u"beats again") << u"\n";
    }
    if (direction > 0) {
        const uint32_t identity = phone_state::read_active_call();
        if (!m_in_call) {
            tell_start(name, number, direction, identity);
            return;
        }
        // Another party on the line (a waiting call taken, a held one resumed): for the recorder
        // that is another call. A number learnt late is still the same call.
        const bool other_party = (identity != 0 && m_identity != 0)
                                     ? identity != m_identity
                                     : !m_number.empty() && !number.empty() && !phone_numbers_match(m_number, number);
        if (other_party) {
            os::log() << u"CallMonitorImpl party changed " << os::tick_count() << u"\n";
            tell_stop();
            tell_start(name, number, direction, identity);
            return;
        }
        m_last_seen = now;
        if (m_number.empty()) m_number = number;
        if (m_identity == 0) m_identity = identity;
        return;
    }
    if (!m_in_call) return;
    // A publisher that is gone has already had its patience; a call that merely looks gone has
    // to stay gone for a moment.
    if (silent || seconds_between(m_last_seen, now) >= end_hold_seconds - 1e-3) tell_stop();
}

void CallMonitorImpl::tell_start(const std::u16string& name, const std::u16string& number, CallDirection direction,
                                 uint32_t identity) {
    m_in_call = true;
    m_identity = identity;
    m_number = number;
    m_started = m_last_seen = os::tick_count();
    os::log() << u"CallMonitorImpl call=1 " << os::tick_count() << u"\n";
    m_owner.observer()->on_call_start(name, number, direction);
}

void CallMonitorImpl::tell_stop() {
    m_in_call = false;
    os::log() << u"CallMonitorImpl call=0 " << os::tick_count() << u"\n";
    m_owner.observer()->on_call_stop();
}

CallMonitor::CallMonitor(CallMonitorObserver* observer)
    : m_impl(std::make_unique<CallMonitorImpl>(*this)), m_observer(observer) {}

CallMonitor::~CallMonitor() = default;

CallDirection CallMonitor::query_call_state(std::u16string& name, std::u16string& number) const {
    return ::query_call_state(name, number);
}

bool CallMonitor::is_talking() const { return ::is_talking(); }
bool CallMonitor::is_speaker_on() const { return ::is_speaker_on(); }
bool CallMonitor::set_call_launch(bool enabled) { return ::set_call_launch(enabled); }
double CallMonitor::call_seconds() const { return m_impl->call_seconds(); }
bool CallMonitor::in_call() const { return m_impl->in_call(); }
