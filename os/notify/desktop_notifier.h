#pragma once
// Notifications through the freedesktop notification service ("org.freedesktop.Notifications" on
// the session bus), as desktops and phone shells show them.
//
// A thread of its own runs GLib's loop for a session bus connection of its own, made at the first
// show(): neither the call nor its answer ever waits on the GUI thread, and a process that never
// notifies never connects. With no session bus or no service a notification is dropped with one
// log line. The action handler runs on that thread. Destruction lets the notifications already
// given out (for at most two seconds), so one shown just before the program quits still arrives.
#include <memory>
#include <string>

#include "os/notify/notifier.h"

namespace os {

class DesktopNotifier final : public Notifier {
public:
    // app_name and icon (an icon name of the theme) go with every notification; desktop_entry
    // (the desktop file's name without ".desktop") lets the server tie them to the program.
    DesktopNotifier(std::u16string app_name, std::u16string icon, std::u16string desktop_entry);
    ~DesktopNotifier() override;
    DesktopNotifier(const DesktopNotifier&) = delete;
    DesktopNotifier& operator=(const DesktopNotifier&) = delete;

    void set_action_handler(ActionHandler handler) override;
    void show(const Notification& notification, uint64_t tag) override;

    // Waits until every notification given so far was taken by the service or dropped; false when
    // that took longer than seconds.
    bool wait_idle(double seconds);
    // How many the service took, and how many were dropped (no bus, no service, an error).
    int shown_count() const;
    int dropped_count() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace os
