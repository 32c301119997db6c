#include "app/call_notification.h"

#include <cmath>

#include "core/event_loop.h"
#include "document/document.h"
#include "lang/text_variables.h"
#include "os/file_system.h"
#include "os/log.h"
#include "os/text.h"

namespace {

std::u16string two_digits(long long value) { return (value < 10 ? u"0" : u"") + os::to_text(value); }

constexpr std::u16string_view caller_variable = u"%caller%";
constexpr std::u16string_view length_variable = u"%length%";
constexpr std::u16string_view reason_variable = u"%reason%";

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
        // No recording to open: the notification only tells.
        send({lang::set_text_variable(translate(u"Call_not_recorded", u"Call with %caller% could not be recorded"),
                                      caller_variable, caller),
              u"", u""},
             u"");
    });
}

CallNotification::~CallNotification() {
    m_document.set_call_not_recorded_hook(nullptr);
    m_document.remove_observer(this);
    m_alive.reset();
    // What is still being handed over goes out (or is shown here) before the notifier goes.
    {
        std::lock_guard<std::mutex> guard(m_jobs_lock);
        m_closing = true;
    }
    m_jobs_ready.notify_all();
    if (m_hand_over_thread.joinable()) m_hand_over_thread.join();
    // The notifier's thread ends here, after the notifications given to it went out.
    m_notifier.reset();
}

std::u16string CallNotification::text_for(std::u16string_view caller, double seconds, int32_t failure, bool gap) {
    return text_for([](std::u16string_view, std::u16string_view fallback) { return std::u16string(fallback); }, caller,
                    seconds, failure, gap);
}

std::u16string CallNotification::text_for(const Translate& translate, std::u16string_view caller, double seconds,
                                          int32_t failure, bool gap) {
    // Rounded: a call of 7.94 s is one of 0:08.
    const long long total = seconds > 0 ? std::llround(seconds) : 0;
    const long long hours = total / 3600;
    const long long minutes = total / 60 % 60;
    std::u16string length = hours > 0 ? os::to_text(hours) + u":" + two_digits(minutes) : os::to_text(minutes);
    length += u":" + two_digits(total % 60);
    std::u16string text;
    switch (failure) {
        case DocumentEvent::CardProblem:
        case DocumentEvent::WriterFailed:
        case DocumentEvent::BufferFailed: {
            const std::u16string why = failure == DocumentEvent::CardProblem
                                           ? translate(u"Call_why_card", u"the storage card is gone")
                                       : failure == DocumentEvent::WriterFailed
                                           ? translate(u"Call_why_full", u"the storage is full or cannot be written")
                                           : translate(u"Call_why_slow", u"the device was too slow");
            // Nothing is told as a whole recording that is not one.
            text = lang::set_text_variable(
                translate(u"Call_stopped_early", u"Call with %caller% stopped early: %reason%; %length% recorded"),
                reason_variable, why);
            break;
        }
        default:
            text = gap ? translate(u"Call_recorded_gap",
                                   u"Call with %caller% recorded with a gap: the sound server went away; %length%")
                       : translate(u"Call_recorded", u"Call with %caller% recorded, %length%");
    }
    // The caller last: a name from the network is never read for variables.
    text = lang::set_text_variable(text, length_variable, length);
    return lang::set_text_variable(text, caller_variable, caller);
}

std::u16string CallNotification::translate(std::u16string_view key, std::u16string_view fallback) const {
    return m_translate ? m_translate(key, fallback) : std::u16string(fallback);
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
    Pending pending{std::move(m_call_path), m_caller, m_document.duration().total(), 0, m_document.had_capture_gap()};
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
    send({text_for([this](std::u16string_view key, std::u16string_view fallback) { return translate(key, fallback); },
                   pending.caller, pending.seconds, pending.failure, pending.gap),
          u"", translate(u"Call_open", u"Open")},
         pending.path);
}

void CallNotification::send(os::Notification notification, std::u16string path) {
    if (!m_notifier && !m_hand_over) return;
    const uint64_t tag = m_next_tag++;
    if (!path.empty()) m_paths[tag] = path;
    if (!m_hand_over) {
        m_notifier->show(notification, tag);
        return;
    }
    {
        std::lock_guard<std::mutex> guard(m_jobs_lock);
        m_jobs.push_back({std::move(notification), std::move(path), tag});
    }
    m_jobs_ready.notify_one();
    if (!m_hand_over_thread.joinable()) m_hand_over_thread = std::thread([this] { hand_over_jobs(); });
}

void CallNotification::hand_over_jobs() {
    for (;;) {
        Job job;
        {
            std::unique_lock<std::mutex> guard(m_jobs_lock);
            m_jobs_ready.wait(guard, [this] { return m_closing || !m_jobs.empty(); });
            if (m_jobs.empty()) return;
            job = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        std::u16string why;
        if (m_hand_over(job.notification, job.path, why)) {
            os::log() << u"CallNotification: kept by the phone bridge\n";
            continue;
        }
        // No keeper: this instance shows it, and its action works while this instance runs.
        os::log() << u"CallNotification: shown here, no phone bridge took it: " << why << u"\n";
        if (m_notifier) m_notifier->show(job.notification, job.tag);
    }
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
