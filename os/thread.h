#pragma once
// Worker threads of the audio engine. A worker derives from Thread, implements run() and polls
// stop_requested() after each wake-up. The owner must join() before destroying the worker.
#include <pthread.h>

#include <atomic>
#include <mutex>

class Thread {
public:
    Thread() = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    // Does not wait for the thread: a still-running thread is detached.
    virtual ~Thread();

    // False when a thread is already running or none could be created.
    bool start();
    // Waits without time limit until the thread has ended.
    void join();
    // -2 .. 2, lowest to highest; false when the platform refuses (raising needs privileges).
    bool set_priority(int level);
    // Linux threads cannot be suspended from outside; these keep their log lines and report -1.
    void suspend();
    void resume();

    void request_stop() { m_stop_requested.store(true); }
    bool stop_requested() const { return m_stop_requested.load(); }
    bool is_running() const { return m_running.load(); }

protected:
    virtual void run() = 0;

private:
    static void* thread_procedure(void* self);

    std::mutex m_mutex;  // guards the handle between start, join and the destructor
    pthread_t m_thread{};
    bool m_has_thread = false;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop_requested{false};
    std::atomic<int> m_tid{0};
};
