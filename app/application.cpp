#include "app/application.h"

#include <cstdint>

#include "app/instance_channel.h"
#include "os/log.h"

namespace {

// Filled by show_running_instance_open_bracket.
struct StartupRecord {
    std::u16string command_line;
    std::u16string app_name;
    std::u16string window_class_name;
    instance_channel::StartupMutex mutex;
    bool found = false;
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

Application::~Application() = default;

bool Application::show_running_instance_open_bracket(std::u16string_view command_line, std::u16string_view app_name) {
    os::log() << u"Application::show_running_instance_open_bracket cmd_line=" << command_line << u"\n";
    StartupRecord& record = startup_record();
    record.app_name = app_name;
    record.window_class_name = u"GlazerClass_" + record.app_name;
    record.command_line = command_line;
    record.found = false;
    if (!record.mutex.open(app_name) || !record.mutex.wait()) {
        record.mutex.release();
        os::log() << u"Application::show_running_instance_open_bracket mutex==0\n";
        return false;
    }
    enum_proc();
    // A process that found the running instance ends now; the mutex goes with it.
    if (record.found) record.mutex.release();
    return record.found;
}

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
