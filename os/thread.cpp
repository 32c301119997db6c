#include "os/thread.h"

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>

#include "os/log.h"

Thread::~Thread() {
    std::lock_guard lock(m_mutex);
    if (m_has_thread) pthread_detach(m_thread);
}

bool Thread::start() {
    std::lock_guard lock(m_mutex);
    if (m_running.load()) return false;
    if (m_has_thread) {  // an ended thread not yet joined: reap it before starting anew
        pthread_join(m_thread, nullptr);
        m_has_thread = false;
    }
    m_stop_requested.store(false);
    m_running.store(true);
    if (pthread_create(&m_thread, nullptr, &Thread::thread_procedure, this) != 0) {
        m_running.store(false);
        return false;
    }
    m_has_thread = true;
    return true;
}

void* Thread::thread_procedure(void* self) {
    auto* thread = static_cast<Thread*>(self);
    thread->m_tid.store(static_cast<int>(::syscall(SYS_gettid)));
    thread->run();
    thread->m_running.store(false);
    return nullptr;
}

void Thread::join() {
    std::lock_guard lock(m_mutex);
    if (!m_has_thread) return;
    pthread_join(m_thread, nullptr);
    m_has_thread = false;
}

bool Thread::set_priority(int level) {
    static const int nice_for_level[] = {10, 5, 0, -5, -10};
    level = std::clamp(level, -2, 2);
    const int tid = m_tid.load();
    if (tid == 0) return false;
    return ::setpriority(PRIO_PROCESS, static_cast<id_t>(tid), nice_for_level[level + 2]) == 0;
}

void Thread::suspend() { os::log() << u"Thread::suspend() result=" << -1 << u"\n"; }

void Thread::resume() { os::log() << u"Thread::resume() result=" << -1 << u"\n"; }
