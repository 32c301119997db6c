#include "app/quit_signals.h"

#include <poll.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>

#include "os/log.h"

namespace {
sigset_t quit_set() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    // A closed terminal: the recording is finished as on any other request to quit.
    sigaddset(&set, SIGHUP);
    return set;
}
}  // namespace

void block_quit_signals() {
    const sigset_t set = quit_set();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    // Writes to a socket whose peer went away fail with EPIPE instead of ending the process.
    ::signal(SIGPIPE, SIG_IGN);
}

int open_quit_signal_fd() {
    const sigset_t set = quit_set();
    return ::signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
}

bool quit_signal_arrived(int fd) {
    pollfd ready{fd, POLLIN, 0};
    return fd >= 0 && ::poll(&ready, 1, 0) > 0;
}

void die_of_quit_signal(int fd) {
    signalfd_siginfo info{};
    int number = SIGTERM;
    if (::read(fd, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) number = static_cast<int>(info.ssi_signo);
    os::log() << u"quit signal=" << number << u" while starting\n";
    ::signal(number, SIG_DFL);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, number);
    ::raise(number);
    pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    // Not reached: the default action of SIGINT, SIGTERM and SIGHUP ends the process.
    ::_exit(128 + number);
}

QuitSignals::~QuitSignals() { stop(); }

bool QuitSignals::start() {
    const sigset_t set = quit_set();
    m_signals = ::signalfd(-1, &set, SFD_CLOEXEC);
    m_stop = ::eventfd(0, EFD_CLOEXEC);
    if (m_signals < 0 || m_stop < 0 || !Thread::start()) {
        stop();
        return false;
    }
    return true;
}

void QuitSignals::stop() {
    if (m_stop >= 0) {
        const uint64_t one = 1;
        (void)!::write(m_stop, &one, sizeof one);
    }
    join();
    for (int* fd : {&m_signals, &m_stop}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void QuitSignals::run() {
    for (;;) {
        pollfd fds[2] = {{m_signals, POLLIN, 0}, {m_stop, POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (fds[1].revents) return;
        signalfd_siginfo info{};
        if (::read(m_signals, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        os::log() << u"quit signal=" << info.ssi_signo << u"\n";
        m_quit();
    }
}
