#pragma once
// The direction of the call in progress, as the call-state query answers it and as
// CallMonitorObserver::on_call_start receives it. A plain integer because the document passes 0 to
// mean "ask the phone".
#include <cstdint>

using CallDirection = int32_t;

constexpr CallDirection call_direction_none = 0;  // no call in progress (not talking)
constexpr CallDirection call_direction_incoming = 1;
constexpr CallDirection call_direction_outgoing = 2;
constexpr CallDirection call_direction_unknown = 3;  // talking, but the line did not say which way
