#pragma once
// A hand-driven millisecond tick for tests that must control time or cross the 32-bit wrap.
#include <atomic>
#include <cstdint>

#include "os/tick.h"

class FakeTick {
public:
    explicit FakeTick(uint32_t start) {
        value().store(start);
        os::set_tick_source([] { return value().load(); });
    }
    ~FakeTick() { os::set_tick_source(nullptr); }
    FakeTick(const FakeTick&) = delete;
    FakeTick& operator=(const FakeTick&) = delete;

    void advance(uint32_t milliseconds) { value().fetch_add(milliseconds); }
    uint32_t now() const { return value().load(); }

private:
    static std::atomic<uint32_t>& value() {
        static std::atomic<uint32_t> tick{0};
        return tick;
    }
};
