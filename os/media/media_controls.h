#pragma once
// What the desktop's media controls (the lock screen, the panel's player widget, headset buttons,
// playerctl) see of the program and what they ask of it. The program talks to this interface; the
// MPRIS service behind it (mpris_service.h) is one implementation, and tests give their own.
#include <functional>
#include <string>

namespace os {

struct MediaState {
    enum class Status { Stopped, Playing, Paused };
    Status status = Status::Stopped;
    // The recording that plays or records, or the one a Play would start; empty path when none.
    std::u16string path;
    std::u16string title;
    std::u16string artist;
    std::u16string album;
    // Seconds; 0 when unknown (a recording still growing).
    double length = 0.0;
    // Where it is at the moment of publishing, in seconds; it moves on by itself while playing.
    double position = 0.0;
    // A recording runs: the controls pause and resume it rather than play.
    bool recording = false;
    bool can_play = false;
    bool can_pause = false;
    bool can_seek = false;
    double volume = 1.0;

    bool operator==(const MediaState&) const = default;
};

struct MediaCommand {
    enum class Kind { Play, Pause, PlayPause, Stop, SeekBy, SeekTo, SetVolume, Raise };
    Kind kind = Kind::PlayPause;
    // Seconds for SeekBy (may be negative) and SeekTo; 0 .. 1 for SetVolume.
    double value = 0.0;
};

class MediaControls {
public:
    // Runs on a thread of the controls': hand the command over to the GUI thread before touching
    // anything there.
    using CommandHandler = std::function<void(const MediaCommand& command)>;

    virtual ~MediaControls() = default;
    // Set before the first publish().
    virtual void set_command_handler(CommandHandler handler) = 0;
    // What plays now; the desktop hears of every change but the position's steady motion.
    virtual void publish(const MediaState& state) = 0;
    // The position jumped (a seek) to the state's position.
    virtual void seeked(double position) = 0;
};

}  // namespace os
