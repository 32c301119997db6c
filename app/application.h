#pragma once
// The program-level application object and the single-instance rule.
//
//     if (Application::show_running_instance_open_bracket(command_line, u"Quillon Touch")) return 0;
//     Application application(u"Quillon Touch", std::make_unique<PlainEventLoop>());
//
// The check takes the start-up mutex and keeps it until the window host can be found by the next
// start (GameBase releases it), so a second start made meanwhile waits instead of missing us.
#include <memory>
#include <string>
#include <string_view>

#include "app/game_base.h"
#include "core/event_loop.h"
#include "core/singleton.h"

class ApplicationListener;

class Application : public Singleton<Application> {
public:
    Application(std::u16string app_name, std::unique_ptr<EventLoop> loop);
    // With the window when a display can be reached.
    Application(std::u16string app_name, const WindowOptions& options);
    ~Application();

    // True when another instance was found and has been given the command line: this process
    // must then end at once with startup_exit_status() (0; 1 when a running instance would not
    // take the command line). A quit signal while it waits ends the process there and then.
    static bool show_running_instance_open_bracket(std::u16string_view command_line, std::u16string_view app_name);
    static int startup_exit_status();
    // Lets a waiting second start look for this instance.
    static void release_startup_mutex();

    const std::u16string& app_name() const { return m_app_name; }
    GameBase& game_base() { return *m_game_base; }
    ApplicationListener* listener() const { return m_game_base->listener(); }
    void set_listener(ApplicationListener* listener) { m_game_base->set_listener(listener); }

    // The message loop, until the quit message.
    void run() { m_game_base->run(); }

private:
    // Looks for the running instance and hands it the command line; false to go on looking
    // (nothing found).
    static bool enum_proc();

    std::u16string m_app_name;
    std::unique_ptr<GameBase> m_game_base;
};
