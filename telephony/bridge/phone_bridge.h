#pragma once
// The phone bridge: follows the real modem stack on the system bus (ModemManager, or oFono) and
// publishes its calls as the phone state the call monitor reads (line_publisher.h). It also mirrors
// the call-audio daemon's speaker state on the session bus into "Speaker".
//
// It runs its own event loop and is meant for a long-lived process (quillon-phone bridge). A stack
// found at start or appearing later is followed; one leaving the bus keeps its calls for a short
// patience (call_table.h) and ends them if it does not come back. A system bus that closes is
// reconnected every second. Nothing reported by a stack is trusted: a value of the wrong type is
// logged and ignored, numbers and names are cut to the phone state's bound.
//
// The D-Bus library (GLib's GDBus) stays inside the .cpp files.
#include <functional>
#include <memory>
#include <string>

#include "telephony/bridge/call_table.h"
#include "telephony/launch_trigger_runner.h"

struct PhoneBridgeOptions {
    // How long a stack that left the bus may take to list its calls again before they count as
    // ended. Long enough for a restarted ModemManager to probe its modem, short enough that a
    // recording does not run on for long after a call that ended while the stack was away.
    double restart_patience_seconds = 5.0;
    // How often a closed system bus is tried again.
    double reconnect_seconds = 1.0;
};

class PhoneBridge {
public:
    static std::unique_ptr<PhoneBridge> create(const PhoneBridgeOptions& options = {});
    virtual ~PhoneBridge() = default;

    // Runs the loop until quit() (from a handler or a signal handler).
    virtual void run() = 0;
    // Async-signal-safe.
    virtual void quit() = 0;
    // Runs the loop until done() holds or the time is up; whether done() held. For tests.
    virtual bool run_until(const std::function<bool()>& done, double seconds) = 0;

    // Called with every snapshot written and the launches it caused.
    using PublishListener = std::function<void(const LineSnapshot&, const std::vector<TriggeredLaunch>&)>;
    virtual void set_publish_listener(PublishListener listener) = 0;
    // One line per thing worth telling the user (stack found or lost, waiting for one).
    virtual void set_message_listener(std::function<void(const std::string&)> listener) = 0;

    // "ModemManager", "oFono", or empty while neither is followed.
    virtual std::string stack() const = 0;
    virtual const CallTable& calls() const = 0;
};
