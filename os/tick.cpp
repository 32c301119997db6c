#include "os/tick.h"

#include <atomic>
#include <chrono>

namespace os {
namespace {
std::atomic<TickSource> g_source{nullptr};
}

uint32_t tick_count() {
    if (TickSource source = g_source.load(std::memory_order_acquire)) return source();
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(now).count());
}

void set_tick_source(TickSource source) { g_source.store(source, std::memory_order_release); }

}  // namespace os
