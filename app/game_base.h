#pragma once
// The window host: the GUI thread's event loop, the scheduler and the queue of command lines
// handed over by other instances. Until the window exists the host is headless: the end of the
// command channel stands in for the main window, and "the window exists" means the loop and that
// channel are ready.
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>

#include "app/core/active_scheduler.h"
#include "app/core/event_loop.h"
#include "app/core/singleton.h"
#include "app/instance_channel.h"

class ApplicationListener;

class GameBase : public Singleton<GameBase> {
public:
    // Takes the loop the GUI thread will run; releases the start-up mutex once it can be found.
    GameBase(std::u16string app_name, std::unique_ptr<EventLoop> loop);
    ~GameBase();

    const std::u16string& app_name() const { return m_app_name; }
    const std::u16string& window_class_name() const { return m_window_class_name; }
    uint32_t sip_preference() const { return m_sip_preference; }
    CActiveScheduler& scheduler() { return *m_scheduler; }
    EventLoop& loop() { return *m_loop; }
    bool can_be_found() const { return m_channel_open; }

    // The receiver of on_command and the other reports; not owned, nullptr for none.
    void set_listener(ApplicationListener* listener) { m_listener = listener; }
    ApplicationListener* listener() const { return m_listener; }

    // A command line from another instance, on the GUI thread: queued, then delivered by a post
    // of its own so that the listener sees the texts one at a time in arrival order. The receipt
    // is confirmed once the listener has acted on the text; once quitting has begun nothing more
    // is taken and the receipt is dropped, so the sender tries the next instance instead.
    void receive_command_line(std::u16string text, instance_channel::Receipt receipt = {});
    const std::deque<std::u16string>& command_queue() const { return m_commands; }

    // Shows the main window restored and in front; nothing while there is no window.
    void bring_to_front();

    // Runs the message loop until the quit message.
    void run();
    // Any thread: stops taking command lines from other instances, then quits the loop.
    void post_quit();
    bool is_quitting() const { return m_quitting.load(); }

private:
    void deliver_next_command();

    std::u16string m_app_name;
    std::u16string m_window_class_name;
    std::unique_ptr<EventLoop> m_loop;
    std::unique_ptr<CActiveScheduler> m_scheduler;
    uint32_t m_sip_preference = 0;
    std::deque<std::u16string> m_commands;
    std::deque<instance_channel::Receipt> m_receipts;  // beside m_commands
    std::atomic<bool> m_quitting{false};
    ApplicationListener* m_listener = nullptr;
    std::unique_ptr<instance_channel::InstanceServer> m_channel;
    bool m_channel_open = false;
};
