#pragma once
// The notification of a recorded call must outlive the recorder's instance: on a phone the
// instance started for a call quits at hang-up, and a notification whose sender is gone has nobody
// to hear its action. The phone bridge runs all along, so it keeps them: the instance hands the
// finished call's notification over on the session bus, the bridge shows it as its own and, when
// its action is chosen, starts "quillon-touch open PATH" (which hands the path to a running
// instance, or starts one).
//
// Both ends are here. The D-Bus library stays inside the .cpp file.
#include <sys/types.h>

#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include "os/notify/notifier.h"

namespace call_notification_keeper {

inline constexpr const char* bus_name = "com.korvel.QuillonTouch.PhoneBridge";
inline constexpr const char* object_path = "/com/korvel/QuillonTouch/PhoneBridge";
inline constexpr const char* interface_name = "com.korvel.QuillonTouch.PhoneBridge";
// The longest text or path taken from a peer, in UTF-8 bytes.
inline constexpr size_t max_bytes = 4096;

// The instance's end: asks the bridge to show the notification and to open path when its action is
// chosen. False, with the reason in why, when no bridge took it (none runs, no session bus, an
// error): the caller then shows it itself. Waits for the bridge's answer (a few seconds at most),
// so never on the GUI thread.
bool hand_over(const os::Notification& notification, std::u16string_view path, std::u16string& why);

}  // namespace call_notification_keeper

// The bridge's end: owns the bus name on the session bus and serves the hand-over on the thread
// that runs GLib's default main context (the bridge's loop) from construction on.
class CallNotificationKeeper {
public:
    // Starts the program that opens path; the pid, or -1 when nothing was started.
    using Opener = std::function<pid_t(const std::u16string& path)>;

    CallNotificationKeeper(std::unique_ptr<os::Notifier> notifier, Opener opener);
    ~CallNotificationKeeper();
    CallNotificationKeeper(const CallNotificationKeeper&) = delete;
    CallNotificationKeeper& operator=(const CallNotificationKeeper&) = delete;

    // One line per thing worth telling the user (name owned or lost, a notification kept, opened).
    void set_message_listener(std::function<void(const std::string&)> listener);

    struct State;

private:
    std::unique_ptr<State> m_state;
};
