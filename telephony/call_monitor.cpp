#include "telephony/call_monitor.h"

#include "os/log.h"
#include "os/tick.h"
#include "telephony/call_launch.h"
#include "telephony/call_monitor_impl.h"
#include "telephony/call_state.h"

CallMonitorImpl::CallMonitorImpl(CallMonitor& owner) : m_owner(owner), m_timer(*this) { m_timer.after(poll_seconds); }

CallMonitorImpl::~CallMonitorImpl() { m_timer.cancel(); }

void CallMonitorImpl::on_timer(Timer&) {
    poll();
    m_timer.after(poll_seconds);
}

void CallMonitorImpl::poll() {
    CallMonitorObserver* observer = m_owner.observer();
    if (!observer) return;
    std::u16string name;
    std::u16string number;
    const CallDirection direction = query_call_state(name, number);
    const bool in_call = direction > 0;
    if (in_call == m_in_call) return;
    m_in_call = in_call;
    os::log() << u"CallMonitorImpl call=" << (in_call ? 1 : 0) << u" " << os::tick_count() << u"\n";
    if (in_call) {
        observer->on_call_start(name, number, direction);
    } else {
        observer->on_call_stop();
    }
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
