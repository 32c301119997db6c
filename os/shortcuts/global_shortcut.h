#pragma once
// One desktop-wide shortcut, bound through the XDG desktop portal's GlobalShortcuts interface
// ("org.freedesktop.portal.GlobalShortcuts" on the session bus: KDE Plasma, GNOME 48 and later,
// Hyprland). The desktop asks the user to confirm or choose the key in its own dialog, and keeps
// the choice; the shortcut works while this object lives.
//
// A thread of its own runs GLib's loop for a session bus connection of its own, made at
// construction: CreateSession, then BindShortcuts, each answered by the portal's Response signal.
// Where there is no session bus or no such portal nothing is bound, and the log says why in one
// line ("shortcuts: ..."); the caller falls back on what else the desktop offers.
#include <functional>
#include <memory>
#include <string>

namespace os {

class GlobalShortcut {
public:
    enum class State { Binding, Bound, Unavailable, Refused };
    // Runs on the shortcut's thread each time the user presses the key: hand it over to the GUI
    // thread before touching anything there.
    using ActivatedHandler = std::function<void()>;

    // app_id: the desktop entry's name without ".desktop"; id: the shortcut's name for the portal;
    // description: what the desktop's dialog shows; preferred_trigger: the key it proposes
    // ("CTRL+ALT+R").
    GlobalShortcut(std::u16string app_id, std::u16string id, std::u16string description,
                   std::u16string preferred_trigger, ActivatedHandler handler);
    ~GlobalShortcut();
    GlobalShortcut(const GlobalShortcut&) = delete;
    GlobalShortcut& operator=(const GlobalShortcut&) = delete;

    State state() const;
    // Waits until the binding is settled (bound, refused or unavailable), and returns the state.
    State wait_settled(double seconds);
    // The key as the desktop describes it once bound ("Ctrl+Alt+R"); empty before.
    std::u16string trigger() const;

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace os
