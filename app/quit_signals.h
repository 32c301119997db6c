#pragma once
// Turns SIGINT and SIGTERM into the quit message of an event loop. block_quit_signals() must run
// before any thread is created, so that no thread takes the signals' default action (ending the
// process without the shutdown order); a watcher thread then reads them from a signalfd.
#include "app/core/event_loop.h"
#include "app/core/thread.h"

void block_quit_signals();

class QuitSignals final : private Thread {
public:
    explicit QuitSignals(EventLoop& loop) : m_loop(loop) {}
    ~QuitSignals() override;

    bool start();
    void stop();

private:
    void run() override;

    EventLoop& m_loop;
    int m_signals = -1;
    int m_stop = -1;  // eventfd
};
