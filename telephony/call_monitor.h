#pragma once
// The call monitor: polls the phone state every 0.1 s on the GUI thread and tells its observer,
// once per change, when a connected call begins or ends.
//
//     class Document : public CallMonitorObserver { ... CallMonitor m_call_monitor{this}; };
//
// A call is "in progress" while the call-state query answers non-zero, i.e. while "Active Call
// Count" is non-zero and "Status" has the connected bit: a ringing or dialling call is not one
// yet. A call connected before the monitor exists is reported by its first poll. Its start is told
// at the first poll that sees it (no word of it may be lost); its end only once the call has
// stayed gone for end_hold_seconds, so a flapping stack does not cut one call into pieces (a
// publisher silent past its patience ends it at once). A change of the party on the line (a
// waiting call taken, a held call resumed; by the publisher's "Active Call", else by the number)
// is the end of one call and the start of another.
//
// The monitor needs the process's CActiveScheduler (CActiveScheduler::instance()) from
// construction to destruction.
#include <memory>
#include <string>

#include "telephony/call_direction.h"

class CallMonitorObserver {
public:
    virtual ~CallMonitorObserver() = default;
    // A connected call began. Name and number may be empty (each at most 255 units); direction is 1
    // (incoming), 2 (outgoing) or 3 (the line could not tell).
    virtual void on_call_start(const std::u16string& name, const std::u16string& number, CallDirection direction) = 0;
    // The call reported by on_call_start ended.
    virtual void on_call_stop() = 0;
};

class CallMonitorImpl;

class CallMonitor {
public:
    // Starts polling at once (first poll 0.1 s from now). observer is not owned; nullptr keeps
    // the polling alive without reporting anything.
    explicit CallMonitor(CallMonitorObserver* observer);
    CallMonitor(const CallMonitor&) = delete;
    CallMonitor& operator=(const CallMonitor&) = delete;
    // Stops polling.
    ~CallMonitor();

    CallMonitorObserver* observer() const { return m_observer; }

    // The call-state query (call_state.h): 0 without a connected call, else 1, 2 or 3 with name and
    // number filled. The document asks it when it records without knowing the direction.
    CallDirection query_call_state(std::u16string& name, std::u16string& number) const;
    // Whether a connected call exists (the query's first two steps).
    bool is_talking() const;
    // Whether the speakerphone is on ("Speaker" under "System\State\Hardware").
    bool is_speaker_on() const;
    // Registers (true) or removes (false) the launch-on-call entry (call_launch.h).
    bool set_call_launch(bool enabled);
    // How long the call told last was seen in progress, in seconds: from its start to the last poll
    // that saw it (the hold before its end not counted).
    double call_seconds() const;
    // Whether the last thing told to the observer was the start of a call.
    bool in_call() const;

private:
    std::unique_ptr<CallMonitorImpl> m_impl;
    CallMonitorObserver* m_observer;
};
