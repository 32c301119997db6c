#pragma once
// One modem stack as the bridge follows it: what its calls are when it appears, and how its signals
// change them. Private to the bridge.
//
// A source is attached while its name has an owner on the system bus: it subscribes to the stack's
// signals, lists the stack's calls into the table (synchronously, so "listed" is a clear moment),
// and from then on its signal handlers keep the table up to date and call changed().
#include <memory>
#include <string>
#include <string_view>

#include "os/dbus/bus.h"
#include "telephony/bridge/call_table.h"

class StackSink {
public:
    virtual ~StackSink() = default;
    virtual CallTable& table() = 0;
    // The table changed: publish it.
    virtual void changed() = 0;
};

class StackSource {
public:
    virtual ~StackSource() = default;
    virtual const char* bus_name() const = 0;
    // "ModemManager", "oFono".
    virtual const char* label() const = 0;
    // Begins every key of the stack's calls.
    virtual std::string_view key_prefix() const = 0;
    // Subscribes and lists the calls into the table (without calling changed()).
    virtual void attach(const os::dbus::Bus& bus) = 0;
    // Unsubscribes; the table is left as it is.
    virtual void detach() = 0;
};

std::unique_ptr<StackSource> make_modem_manager_source(StackSink& sink);
std::unique_ptr<StackSource> make_ofono_source(StackSink& sink);
