#include "os/stopwatch.h"

#include <chrono>
#include <cstdint>
#include <thread>

#include "os/tick.h"

void sleep_seconds(double seconds) {
    const auto milliseconds = static_cast<long long>(seconds * 1000.0);
    if (milliseconds > 0) std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void Stopwatch::restart() { m_start = static_cast<double>(os::tick_count()); }

double Stopwatch::elapsed() const {
    // Unsigned difference survives the tick's wrap-around.
    const uint32_t now = os::tick_count();
    return static_cast<double>(static_cast<uint32_t>(now - static_cast<uint32_t>(m_start))) * 0.001;
}

double Stopwatch::lap() {
    const double seconds = elapsed();
    restart();
    return seconds;
}
