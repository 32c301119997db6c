// Entry point of quillon-touch. Grows into the full start-up sequence as the subsystems land.
#include <csignal>

#include "os/log.h"
#include "os/tick.h"

int main() {
    os::log() << u"WinMain:" << os::tick_count() << u"\n";
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigprocmask(SIG_BLOCK, &signals, nullptr);
    int received = 0;
    sigwait(&signals, &received);
    return 0;
}
