#include "app/media_session.h"

#include <algorithm>
#include <cmath>

#include "audio/readers/file_reader.h"
#include "core/event_loop.h"
#include "document/document.h"
#include "os/file_system.h"
#include "os/tick.h"

namespace {

// A position further than this from where steady motion would have brought it was moved. The
// reader runs ahead of what is heard by the player's buffers, so small leaps are no seek.
constexpr double seek_tolerance_seconds = 3.0;

double now_seconds() { return static_cast<double>(os::tick_count()) / 1000.0; }

// Two states differ for the desktop when anything but the position's steady motion changed.
bool same_but_position(os::MediaState a, os::MediaState b) {
    a.position = 0;
    b.position = 0;
    return a == b;
}

}  // namespace

MediaSession::MediaSession(Document& document, EventLoop& loop, std::function<void()> raise,
                           std::unique_ptr<os::MediaControls> controls)
    : m_document(document),
      m_loop(loop),
      m_raise(std::move(raise)),
      m_alive(std::make_shared<MediaSession*>(this)),
      m_controls(std::move(controls)),
      m_timer(*this) {
    if (m_controls) {
        std::weak_ptr<MediaSession*> alive = m_alive;
        EventLoop* target = &m_loop;
        m_controls->set_command_handler([alive, target](const os::MediaCommand& command) {
            target->post_task([alive, command] {
                if (const auto self = alive.lock()) (*self)->carry_out(command);
            });
        });
    }
    m_document.add_observer(this);
    update();
}

MediaSession::~MediaSession() {
    m_document.remove_observer(this);
    m_timer.cancel();
    m_alive.reset();
    // The controls' thread ends here.
    m_controls.reset();
}

bool MediaSession::can_control_recording() const {
    return m_document.is_recording() && !m_document.is_recording_call();
}

os::MediaState MediaSession::state() const {
    Document& document = m_document;
    os::MediaState state;
    const RecordEntry& record = document.current_record();
    const bool recording = document.is_recording();
    const bool playing = document.is_playing();
    if (recording || playing || (!record.path.empty() && os::exists(record.path))) {
        state.path = record.path;
        state.title = record.title;
        state.artist = record.artist;
        state.album = record.album;
    }
    state.volume = document.player().volume();
    if (recording) {
        state.recording = true;
        // A voice note's artist is the program's own word for it; a call names the caller.
        state.artist = document.is_recording_call() && !record.artist.empty() ? u"Recording: " + record.artist
                                                                              : std::u16string(u"Recording");
        state.status = document.is_paused() ? os::MediaState::Status::Paused : os::MediaState::Status::Playing;
        state.position = document.duration().total();
        state.can_play = state.can_pause = can_control_recording();
        return state;
    }
    if (playing) {
        state.status = document.is_paused() ? os::MediaState::Status::Paused : os::MediaState::Status::Playing;
        state.length = std::max(record.duration, 0.0);
        FileReader* reader = document.reader();
        state.position = reader ? std::clamp(reader->info().time(), 0.0, state.length) : 0.0;
        state.can_play = state.can_pause = state.can_seek = true;
        return state;
    }
    state.length = std::max(record.duration, 0.0);
    state.can_play = !state.path.empty();
    return state;
}

void MediaSession::update() {
    if (!m_controls) return;
    const os::MediaState now = state();
    const double at = now_seconds();
    const bool moving = now.status == os::MediaState::Status::Playing;
    if (!m_has_published || !same_but_position(now, m_published)) {
        m_controls->publish(now);
    } else {
        double expected = m_published.position;
        if (m_published.status == os::MediaState::Status::Playing) expected += at - m_published_at;
        if (std::fabs(now.position - expected) > seek_tolerance_seconds) {
            m_controls->seeked(now.position);
        } else {
            // Steady motion: nothing to tell, and the reference stays where it was published.
            if (moving) m_timer.after(poll_seconds);
            return;
        }
    }
    m_published = now;
    m_has_published = true;
    m_published_at = at;
    if (moving || m_document.is_recording() || m_document.is_playing()) m_timer.after(poll_seconds);
}

void MediaSession::on_timer(Timer&) { update(); }

void MediaSession::on_document_event(const DocumentEvent& event) {
    switch (event.code) {
        case DocumentEvent::RecordingStarted:
        case DocumentEvent::AppendStarted:
        case DocumentEvent::PausedOrResumed:
        case DocumentEvent::Stopped:
        case DocumentEvent::RecordRenamed:
        case DocumentEvent::RecordDeleted:
            update();
            // A playback begins right after the stop that makes room for it: look again soon.
            m_timer.after(0.05);
            break;
        default:
            break;
    }
}

void MediaSession::carry_out(const os::MediaCommand& command) {
    Document& document = m_document;
    using Kind = os::MediaCommand::Kind;
    const bool recording = document.is_recording();
    const bool playing = document.is_playing();
    // A call's recording follows the call alone.
    if (recording && !can_control_recording() && command.kind != Kind::Raise && command.kind != Kind::SetVolume) {
        return;
    }
    switch (command.kind) {
        case Kind::PlayPause:
            if (recording || playing) {
                document.set_paused(!document.is_paused());
                break;
            }
            [[fallthrough]];
        case Kind::Play:
            if (recording || playing) {
                if (document.is_paused()) document.set_paused(false);
            } else {
                const std::u16string path = document.current_record().path;
                if (path.empty() || !os::exists(path)) break;
                if (m_play) {
                    m_play(path);
                } else {
                    document.play(path);
                }
            }
            break;
        case Kind::Pause:
            if ((recording || playing) && !document.is_paused()) document.set_paused(true);
            break;
        case Kind::Stop:
            if (recording || playing) document.stop();
            break;
        case Kind::SeekBy:
        case Kind::SeekTo: {
            const double length = document.current_record().duration;
            FileReader* reader = document.reader();
            if (!playing || !reader || !(length > 0)) break;
            double target = command.kind == Kind::SeekTo ? command.value : reader->info().time() + command.value;
            if (command.kind == Kind::SeekTo && target > length) break;
            target = std::clamp(target, 0.0, length);
            if (document.seek(target / length)) {
                os::MediaState now = state();
                now.position = target;
                m_published = now;
                m_has_published = true;
                m_published_at = now_seconds();
                if (m_controls) {
                    m_controls->publish(now);
                    m_controls->seeked(target);
                }
            }
            break;
        }
        case Kind::SetVolume:
            document.player().set_volume(std::clamp(command.value, 0.0, 1.0));
            break;
        case Kind::Raise:
            if (m_raise) m_raise();
            break;
    }
    update();
}
