#include "app/call_notification.h"

#include <cmath>

#include "core/event_loop.h"
#include "document/document.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text.h"

namespace {

std::u16string two_digits(long long value) { return (value < 10 ? u"0" : u"") + os::to_text(value); }

}  // namespace

CallNotification::CallNotification(Document& document, EventLoop& loop, WindowHooks window,
                                   std::unique_ptr<os::Notifier> notifier)
    : m_document(document),
      m_loop(loop),
      m_window(std::move(window)),
      m_alive(std::make_shared<CallNotification*>(this)),
      m_notifier(std::move(notifier)) {
    if (m_notifier) {
        std::weak_ptr<CallNotification*> alive = m_alive;
        EventLoop* target = &m_loop;
        m_notifier->set_action_handler([alive, target](uint64_t tag) {
            target->post_task([alive, tag] {
                if (const auto self = alive.lock()) (*self)->open(tag);
            });
        });
    }
    m_document.add_observer(this);
    m_document.set_call_not_recorded_hook([this](const std::u16string& caller) {
        if (!m_notifier) return;
        // No recording to open: the notification only tells.
        m_notifier->show({u"Call with " + caller + u" could not be recorded", u"", u""}, m_next_tag++);
    });
}

CallNotification::~CallNotification() {
    m_document.set_call_not_recorded_hook(nullptr);
    m_document.remove_observer(this);
    m_alive.reset();
    // The notifier's thread ends here, after the notifications given to it went out.
    m_notifier.reset();
}

std::u16string CallNotification::text_for(std::u16string_view caller, double seconds, int32_t failure, bool gap) {
    // Rounded: a call of 7.94 s is one of 0:08.
    const long long total = seconds > 0 ? std::llround(seconds) : 0;
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    std::u16string length = hours > 0 ? os::to_text(hours) + u":" + two_digits(minutes) : os::to_text(minutes);
    length += u":" + two_digits(total % 60);
    std::u16string why;
    switch (failure) {
        case DocumentEvent::CardProblem:
            why = u"the storage card is gone";
            break;
        case DocumentEvent::WriterFailed:
            why = u"the storage is full or cannot be written";
            break;
        case DocumentEvent::BufferFailed:
            why = u"the device was too slow";
            break;
        default:
            if (gap) {
                return u"Call with " + std::u16string(caller) + u" recorded with a gap: the sound server went away; " +
                       length;
            }
            return u"Call with " + std::u16string(caller) + u" recorded, " + length;
    }
    // Nothing is told as a whole recording that is not one.
    return u"Call with " + std::u16string(caller) + u" stopped early: " + why + u"; " + length + u" recorded";
}

void CallNotification::on_document_event(const DocumentEvent& event) {
    if (event.code == DocumentEvent::RecordingStarted) {
        m_call_path.clear();
        if (m_document.is_recording_call()) {
            m_call_path = m_document.current_record().path;
            m_caller = m_document.current_record().artist;
        }
        return;
    }
    if (event.code == DocumentEvent::CardProblem || event.code == DocumentEvent::WriterFailed ||
        event.code == DocumentEvent::BufferFailed) {
        // Told right after the stop that it explains.
        if (m_pending) m_pending->failure = event.code;
        return;
    }
    if (event.code != DocumentEvent::Stopped || m_call_path.empty() || m_document.is_recording()) return;
    Pending pending{std::move(m_call_path), m_caller, m_document.duration().total(), 0,
                    m_document.had_capture_gap()};
    m_call_path.clear();
    // A call that never got audio leaves no recording to tell of.
    if (!os::exists(pending.path)) return;
    if (m_window.is_in_front && m_window.is_in_front()) return;
    // One still waiting for its moment goes out first.
    if (m_pending) show(*m_pending);
    m_pending = std::move(pending);
    // Shown once the document has told why it stopped, if it stopped for a failure.
    std::weak_ptr<CallNotification*> alive = m_alive;
    m_loop.post_task([alive] {
        if (const auto self = alive.lock()) {
            if ((*self)->m_pending) {
                const Pending shown = std::move(*(*self)->m_pending);
                (*self)->m_pending.reset();
                (*self)->show(shown);
            }
        }
    });
}

void CallNotification::show(const Pending& pending) {
    os::log() << u"CallNotification: " << pending.path
              << (pending.failure ? u" stopped early, event " + os::to_text(pending.failure) : u"") << u"\n";
    if (!m_notifier) return;
    const uint64_t tag = m_next_tag++;
    m_paths[tag] = pending.path;
    m_notifier->show({text_for(pending.caller, pending.seconds, pending.failure, pending.gap), u"", u"Open"}, tag);
}

void CallNotification::open(uint64_t tag) {
    const auto found = m_paths.find(tag);
    if (found == m_paths.end()) return;
    const std::u16string path = found->second;
    m_paths.erase(found);
    os::log() << u"CallNotification: open " << path << u"\n";
    if (m_window.bring_to_front) m_window.bring_to_front();
    if (m_open) m_open(path);
}
