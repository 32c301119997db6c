#pragma once
// A message for the desktop's notification area, and what shows it. The program talks to this
// interface; the freedesktop service behind it (desktop_notifier.h) is one implementation, and
// tests give their own.
#include <cstdint>
#include <functional>
#include <string>

namespace os {

struct Notification {
    std::u16string summary;
    std::u16string body;
    // The label of the action that opens what the notification tells of; no action when empty.
    std::u16string action_label;
};

class Notifier {
public:
    // Called when the user chooses a notification's action, with the tag it was shown with, on a
    // thread of the notifier's: hand it over to the GUI thread before touching anything there.
    using ActionHandler = std::function<void(uint64_t tag)>;

    virtual ~Notifier() = default;
    // Set before the first show().
    virtual void set_action_handler(ActionHandler handler) = 0;
    // Shows the notification and returns at once. Where nothing shows notifications, nothing
    // happens (and the log says why).
    virtual void show(const Notification& notification, uint64_t tag) = 0;
};

}  // namespace os
