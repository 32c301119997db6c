#pragma once
// The start-up sequence and the application's listener for the whole run: it executes the command
// words, shows the splash, and half a second later loads the language, the main skin and the main
// screen as far as they exist (until the main screen does, the splash stays), then runs the
// document's second loading phase. It refuses to close the window while a recording runs.
#include <memory>
#include <string>

#include "app/application_listener.h"
#include "core/timer.h"
#include "lang/language.h"
#include "screens/main_screen.h"
#include "skin/properties.h"

class Application;
class LanguageBinding;
class QuickRecordScreen;
class ScreenManager;
class SingleScreen;
class WindowScreenHost;
struct ScreenContext;

class Starter final : public ApplicationListener, public TimerObserver {
public:
    // The splash timer's delay.
    static constexpr double splash_seconds = 0.5;

    Starter(Application& application, std::u16string command_line);
    ~Starter() override;

    void on_command(const std::u16string& text) override { on_other_instance_started(text); }
    void on_other_instance_started(const std::u16string& text);
    // False while the document records.
    bool can_close() override;
    // Applies the current orientation to the display again.
    void on_resolution_changed() override;
    // The splash timer.
    void on_timer(Timer& timer) override;

    bool splash_is_shown() const { return m_splash != nullptr; }
    bool start_finished() const { return m_start_finished; }
    // Non-zero when the start failed (no language, no main skin or an incomplete one).
    int exit_status() const { return m_failed ? 1 : 0; }
    // The main screen once the main skin is loaded (none before, or when the skin lacks it).
    MainScreen* main_screen() const { return m_main_screen.get(); }
    ScreenManager* screen_stack() const { return m_stack.get(); }
    // How the main screen reaches the recording and playback screens; the hooks given before the
    // main screen exists are handed to it when it is made. The quick-record hooks are filled here
    // unless given.
    void set_main_screen_hooks(MainScreenHooks hooks);

private:
    // Where the document executes the command words ("call", "record"); "open PATH" is the
    // starter's own.
    void handle_command_line(const std::u16string& text);
    // Shows the recording at path in the playback screen (a chosen call notification, "open PATH"),
    // once the main screen is up; a file that is gone is told on screen. A recording that runs is
    // never stopped for it.
    void open_recording(const std::u16string& path);
    void show_splash();
    // Builds the splash form from the splash skin as it is loaded now (with its language table).
    void bind_splash();
    // The start-up steps at the splash timer; the first two return false when the program must
    // end (after telling the user why).
    bool load_language();
    bool load_main_skin();
    // False when the skin lacks what the main screen needs (the user has been told, the program
    // quits).
    bool open_main_screen();
    // The quick-record options screen, made when the menu first asks for it: finding the buttons
    // may ask the desktop's settings service. None when the skin lacks it.
    QuickRecordScreen* quick_record_screen();

    Application& m_application;
    Language m_language;
    Properties m_splash_properties;
    Properties m_properties;
    std::unique_ptr<LanguageBinding> m_language_binding;
    Timer m_splash_timer;
    std::unique_ptr<SingleScreen> m_splash;
    MainScreenHooks m_hooks;
    std::unique_ptr<WindowScreenHost> m_host;
    std::unique_ptr<ScreenManager> m_stack;
    std::unique_ptr<ScreenContext> m_context;
    std::unique_ptr<MainScreen> m_main_screen;
    std::unique_ptr<QuickRecordScreen> m_quick_record;
    // A recording to open once the main screen is up.
    std::u16string m_open_pending;
    bool m_start_finished = false;
    bool m_failed = false;
};
