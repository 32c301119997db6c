#pragma once
// Learns how a program started for the user (the mail composer, the browser showing the help) has
// ended, without waiting for it: the program's reaper fills in its ending, and this looks at it on
// the GUI thread a few times a second until it is known. A program that ends with a non-zero status
// calls the failure handler once, on the GUI thread. Watching another program forgets the first.
#include <functional>
#include <memory>

#include "core/timer.h"
#include "os/execute.h"

class ChildWatch final : private TimerObserver {
public:
    static constexpr double poll_seconds = 0.25;
    // A program still running after this long is taken to have answered (a composer left open).
    static constexpr double give_up_seconds = 600.0;

    ChildWatch() = default;
    ChildWatch(const ChildWatch&) = delete;
    ChildWatch& operator=(const ChildWatch&) = delete;

    void watch(std::shared_ptr<const os::ChildExit> exit, std::function<void()> on_failure);
    bool is_watching() const { return m_exit != nullptr; }

private:
    void on_timer(Timer& timer) override;

    std::shared_ptr<const os::ChildExit> m_exit;
    std::function<void()> m_on_failure;
    double m_waited = 0.0;
    Timer m_poll{*this};
};
