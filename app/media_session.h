#pragma once
// The program as the desktop's media controls see it: what plays or records, and the commands of
// the lock screen, the panel, headset buttons and playerctl carried out on the document.
//
// A playing recording shows its title, artist, length and position; play, pause, stop and seeks
// act on the playback. While a voice note records, play-pause pauses and resumes it, and the
// metadata says it records ("Recording" as the artist, before a caller's name). A call recording
// is shown but not controlled from outside. Stopped, Play starts the current recording through
// the play hook (the main screen's, which shows the playback screen).
//
// GUI thread, except that the controls' command handler may run on any thread: it only posts to
// the loop. Observes the document from construction to destruction, so it is made after the
// document and goes before it. While something plays or records, a timer compares the position
// with where it should be, so that a seek made on the screen is told as a seek.
#include <functional>
#include <memory>
#include <string>

#include "core/singleton.h"
#include "core/timer.h"
#include "document/document_event.h"
#include "os/media/media_controls.h"

class Document;
class EventLoop;

class MediaSession final : public Singleton<MediaSession>, public DocumentObserver, private TimerObserver {
public:
    using PlayHook = std::function<void(const std::u16string& path)>;
    static constexpr double poll_seconds = 0.5;

    // controls may be null: then nothing is published.
    MediaSession(Document& document, EventLoop& loop, std::function<void()> raise,
                 std::unique_ptr<os::MediaControls> controls);
    ~MediaSession() override;

    // Without one, Play while stopped plays the current recording on the document alone.
    void set_play_hook(PlayHook hook) { m_play = std::move(hook); }
    void on_document_event(const DocumentEvent& event) override;

    // The state the document is in, as the controls show it.
    os::MediaState state() const;
    // A command of the controls, on the GUI thread.
    void carry_out(const os::MediaCommand& command);

private:
    void on_timer(Timer& timer) override;
    // Publishes the document's state when it changed, and tells of a jump in the position.
    void update();
    bool can_control_recording() const;

    Document& m_document;
    EventLoop& m_loop;
    std::function<void()> m_raise;
    PlayHook m_play;
    std::shared_ptr<MediaSession*> m_alive;
    std::unique_ptr<os::MediaControls> m_controls;
    Timer m_timer;
    os::MediaState m_published;
    bool m_has_published = false;
    double m_published_at = 0.0;
};
