#pragma once
// Turns SIGINT and SIGTERM into the quit message of an event loop. block_quit_signals() must run
// before any thread is created, so that no thread takes the signals' default action (ending the
// process without the shutdown order); a watcher thread then reads them from a signalfd.
#include <functional>

#include "os/thread.h"

void block_quit_signals();

// A signalfd for the quit signals, for a wait that must end when one arrives (-1 when it cannot
// be made). The caller closes it.
int open_quit_signal_fd();
// True when a quit signal is waiting on the descriptor (without waiting for one).
bool quit_signal_arrived(int fd);
// Ends the process at once by the quit signal waiting on the descriptor, as if it had never been
// blocked: nothing is destroyed and nothing more runs.
[[noreturn]] void die_of_quit_signal(int fd);

class QuitSignals final : private Thread {
public:
    // `quit` runs on the watcher's thread for every quit signal.
    explicit QuitSignals(std::function<void()> quit) : m_quit(std::move(quit)) {}
    ~QuitSignals() override;

    bool start();
    void stop();

private:
    void run() override;

    std::function<void()> m_quit;
    int m_signals = -1;
    int m_stop = -1;  // eventfd
};
