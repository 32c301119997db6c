#include "app/game_base.h"

#include <cerrno>

#include "app/application.h"
#include "app/application_listener.h"
#include "os/log.h"
#include "os/registry.h"
#include "os/tick.h"

namespace {
// Stands for the main window's class name.
constexpr std::u16string_view window_class_prefix = u"GlazerClass_";
constexpr std::u16string_view empty_command_line = u"%CommandLineEmpty%";

GameBase* g_window_host = nullptr;

void log_progress(int step) { os::log() << os::tick_count() << u" GameBase " << step << u"\n"; }
}  // namespace

GameBase::GameBase(std::u16string app_name, std::unique_ptr<EventLoop> loop)
    : m_app_name(std::move(app_name)), m_loop(std::move(loop)) {
    m_window_class_name = std::u16string(window_class_prefix) + m_app_name;
    // The Singleton base has already refused a second host; this guards the raw handle kept for
    // the window procedure.
    if (g_window_host) os::fatal_error(u"Application::Application", u"instance != 0");
    g_window_host = this;
    m_scheduler = std::make_unique<CActiveScheduler>(*m_loop);

    if (!os::reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel", u"SIPPreference", m_sip_preference)) {
        m_sip_preference = 0;
    }
    log_progress(0);
    log_progress(1);
    // The window class, the screen information and the window come with the display.
    log_progress(2);
    log_progress(3);

    // The command channel is what other instances look for, as they would look for the window.
    m_channel = std::make_unique<instance_channel::InstanceServer>(
        [this](std::u16string text, instance_channel::Receipt receipt) {
            // The channel's thread only queues a post; the text is handled on the GUI thread.
            auto held = std::make_shared<instance_channel::Receipt>(std::move(receipt));
            m_loop->post_task([this, text = std::move(text), held]() mutable {
                receive_command_line(std::move(text), std::move(*held));
            });
        });
    m_channel_open = m_channel->start(m_window_class_name);
    if (!m_channel_open) os::log() << u"GameBase: no command channel errno=" << errno << u"\n";
    log_progress(4);

    // From here a second instance can find this one.
    Application::release_startup_mutex();
    log_progress(5);
}

GameBase::~GameBase() {
    // The channel's thread posts to the loop: it stops before the loop goes.
    m_channel.reset();
    m_scheduler.reset();
    g_window_host = nullptr;
}

void GameBase::receive_command_line(std::u16string text, instance_channel::Receipt receipt) {
    if (m_quitting) return;
    if (text == empty_command_line) text.clear();
    m_commands.push_back(std::move(text));
    m_receipts.push_back(std::move(receipt));
    m_loop->post_task([this] { deliver_next_command(); });
}

void GameBase::deliver_next_command() {
    if (m_commands.empty()) return;
    const std::u16string text = std::move(m_commands.front());
    instance_channel::Receipt receipt = std::move(m_receipts.front());
    m_commands.pop_front();
    m_receipts.pop_front();
    // Quitting began after the text arrived: the sender hears nothing and starts after us.
    if (m_quitting) return;
    if (m_listener) {
        m_listener->on_command(text);
    } else {
        bring_to_front();
    }
    receipt.confirm();
}

void GameBase::bring_to_front() {}

void GameBase::run() { m_loop->run(); }

void GameBase::post_quit() {
    m_quitting = true;
    // The socket goes at once, so a start from now on waits for this process to end.
    if (m_channel) m_channel->stop();
    m_loop->quit();
}
