#pragma once
// The program as a media player on the session bus: "org.mpris.MediaPlayer2.QuillonTouch" with
// the object "/org/mpris/MediaPlayer2" and its interfaces "org.mpris.MediaPlayer2" and
// "org.mpris.MediaPlayer2.Player", as the desktops' media controls and playerctl find players.
//
// A thread of its own runs GLib's loop for a session bus connection of its own, made at
// construction: the desktop's calls are answered there from the last published state, and never
// wait on the GUI thread. With no session bus nothing is published, and the log says so in one
// line ("mpris: no session bus: ...").
#include <memory>
#include <string>

#include "os/media/media_controls.h"

namespace os {

class MprisService final : public MediaControls {
public:
    // identity: the player's name as the desktop shows it; desktop_entry: the desktop file's name
    // without ".desktop"; bus_suffix: the last element of the bus name.
    MprisService(std::u16string identity, std::u16string desktop_entry, std::u16string bus_suffix);
    ~MprisService() override;
    MprisService(const MprisService&) = delete;
    MprisService& operator=(const MprisService&) = delete;

    void set_command_handler(CommandHandler handler) override;
    void publish(const MediaState& state) override;
    void seeked(double position) override;

    // Waits until the name is owned on the bus or publishing failed; true when owned.
    bool wait_published(double seconds);

    struct Impl;

private:
    std::unique_ptr<Impl> m_impl;
};

}  // namespace os
