#include "app/application.h"

#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "app/instance_channel.h"
#include "app/quit_signals.h"
#include "os/log.h"
#include "os/tick.h"

namespace {

// Filled by show_running_instance_open_bracket.
struct StartupRecord {
    std::u16string command_line;
    std::u16string app_name;
    std::u16string window_class_name;
    instance_channel::StartupMutex mutex;
    // Held by the instance that starts, until the process ends.
    instance_channel::RunningMark running;
    bool found = false;
    int exit_status = 0;
};

// A running instance that takes no command (it is quitting, or stalled) is asked again this often,
// and for this long at most, before the start gives up rather than run beside it.
constexpr int handover_retry_ms = 50;
constexpr uint32_t handover_give_up_ms = 60000;

// The quit signals' descriptor for the waits of the start; closed when they are over.
class StartSignals {
public:
    StartSignals() : m_fd(open_quit_signal_fd()) {}
    ~StartSignals() {
        if (m_fd >= 0) ::close(m_fd);
    }
    StartSignals(const StartSignals&) = delete;
    StartSignals& operator=(const StartSignals&) = delete;
    int fd() const { return m_fd; }
    // A quit signal during the start ends the process before it has run anything.
    void end_if_arrived() const {
        if (quit_signal_arrived(m_fd)) die_of_quit_signal(m_fd);
    }
    // Waits up to milliseconds, ending the process if a quit signal comes meanwhile.
    void pause(int milliseconds) const {
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, m_fd >= 0 ? 1 : 0, milliseconds) > 0) die_of_quit_signal(m_fd);
    }

private:
    int m_fd;
};

StartupRecord& startup_record() {
    static StartupRecord record;
    return record;
}

}  // namespace

Application::Application(std::u16string app_name, std::unique_ptr<EventLoop> loop) : m_app_name(std::move(app_name)) {
    // The widget factories and the default font join here with the skin.
    m_game_base = std::make_unique<GameBase>(m_app_name, std::move(loop));
    os::log() << u"Application::Application() this=" << reinterpret_cast<uintptr_t>(this) << u"\n";
}

Application::Application(std::u16string app_name, const WindowOptions& options) : m_app_name(std::move(app_name)) {
    m_game_base = std::make_unique<GameBase>(m_app_name, options);
    os::log() << u"Application::Application() this=" << reinterpret_cast<uintptr_t>(this) << u"\n";
}

Application::~Application() = default;

bool Application::show_running_instance_open_bracket(std::u16string_view command_line, std::u16string_view app_name) {
    os::log() << u"Application::show_running_instance_open_bracket cmd_line=" << command_line << u"\n";
    StartupRecord& record = startup_record();
    record.app_name = app_name;
    record.window_class_name = u"GlazerClass_" + record.app_name;
    record.command_line = command_line;
    record.found = false;
    const StartSignals signals;
    if (!record.mutex.open(app_name)) {
        os::log() << u"Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    const instance_channel::WaitResult waited = record.mutex.wait(signals.fd());
    if (waited == instance_channel::WaitResult::Interrupted) die_of_quit_signal(signals.fd());
    if (waited != instance_channel::WaitResult::Owned) {
        record.mutex.release();
        os::log() << u"Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    // Holding the mutex, either the running instance takes the command line or, once it has gone,
    // this process becomes the running instance. One that is there but takes nothing (quitting,
    // or too busy) is asked again: never two instances at once.
    const uint32_t started = os::tick_count();
    bool told = false;
    for (;;) {
        signals.end_if_arrived();
        enum_proc();
        if (record.found) {
            // A process that found the running instance ends now; the mutex goes with it.
            record.mutex.release();
            return true;
        }
        if (record.running.try_take(app_name)) break;
        if (!told) {
            os::log() << u"Application::show_running_instance_open_bracket waiting for the running instance\n";
            told = true;
        }
        if (os::tick_count() - started > handover_give_up_ms) {
            os::log() << u"Application::show_running_instance_open_bracket running instance does not answer\n";
            std::fputs("quillon-touch: the running instance does not take the command line\n", stderr);
            record.mutex.release();
            record.exit_status = 1;
            return true;
        }
        signals.pause(handover_retry_ms);
    }
    signals.end_if_arrived();
    return false;
}

int Application::startup_exit_status() { return startup_record().exit_status; }

void Application::release_startup_mutex() { startup_record().mutex.release(); }

bool Application::enum_proc() {
    StartupRecord& record = startup_record();
    long long peer = 0;
    const int socket = instance_channel::connect_to_running_instance(record.window_class_name, peer);
    if (socket < 0) return true;
    os::log() << u"Application::EnumProc window found hwnd=" << peer << u" 1\n";
    const std::u16string text = record.command_line.empty() ? u"%CommandLineEmpty%" : record.command_line;
    // An instance that dies before taking the text leaves us to start in its place.
    record.found = instance_channel::send_command_line(socket, text);
    os::log() << u"Application::EnumProc window found 2\n";
    return false;
}
