#include "screens/child_watch.h"

#include "os/log.h"

void ChildWatch::watch(std::shared_ptr<const os::ChildExit> exit, std::function<void()> on_failure) {
    m_exit = std::move(exit);
    m_on_failure = std::move(on_failure);
    m_waited = 0.0;
    if (m_exit) {
        m_poll.after(poll_seconds);
    } else {
        m_poll.cancel();
    }
}

void ChildWatch::on_timer(Timer&) {
    if (!m_exit) return;
    if (!m_exit->ended.load(std::memory_order_acquire)) {
        m_waited += poll_seconds;
        if (m_waited < give_up_seconds) {
            m_poll.after(poll_seconds);
        } else {
            m_exit.reset();
        }
        return;
    }
    const int code = m_exit->exit_code.load();
    m_exit.reset();
    if (code == 0) return;
    os::log() << u"child program failed: exit status " << code << u"\n";
    // The handler may watch another program: it is taken out before it runs.
    std::function<void()> handler = std::move(m_on_failure);
    m_on_failure = nullptr;
    if (handler) handler();
}
