#pragma once
// The platform's 32-bit millisecond tick: the only clock the timers use. It wraps after ~49.7 days,
// so every comparison of two ticks uses their signed difference.
#include <cstdint>

namespace os {

uint32_t tick_count();

// Tests replace the clock to cross the wrap-around; nullptr restores the real one.
using TickSource = uint32_t (*)();
void set_tick_source(TickSource source);

}  // namespace os
