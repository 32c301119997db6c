#pragma once
// Tells the desktop when a call was recorded while the window was not in front:
// "Call with Alice Walker recorded, 2:31" (the caller's name, else the number, and the length).
// Choosing the notification brings the window to the front and hands the recording to the open
// hook, which the starter fills to show it in the playback screen as "quillon-touch open PATH" would.
//
// Where a process that outlives this one keeps notifications (the phone bridge), the notification
// is handed over to it, so that choosing it still opens the recording after this instance quit;
// without one this instance shows it itself. The hand-over waits for its answer on a thread of its
// own, and what it did not take is shown from there.
//
// GUI thread, except that the notifier's action handler may run on any thread: it only posts to
// the loop. Observes the document from construction to destruction, so it is made after the
// document and goes before it.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

#include "core/singleton.h"
#include "document/document_event.h"
#include "os/notify/notifier.h"

class Document;
class EventLoop;

class CallNotification final : public Singleton<CallNotification>, public DocumentObserver {
public:
    struct WindowHooks {
        std::function<bool()> is_in_front;
        std::function<void()> bring_to_front;
    };
    using OpenHook = std::function<void(const std::u16string& path)>;
    // The text of a language key, or the fallback (the English text) where the language lacks it.
    using Translate = std::function<std::u16string(std::u16string_view key, std::u16string_view fallback)>;
    // Gives the notification to a keeper outside this process, which opens path when its action is
    // chosen; false, with the reason in why, when none took it. Runs on the hand-over's thread.
    using HandOver =
        std::function<bool(const os::Notification& notification, std::u16string_view path, std::u16string& why)>;

    // notifier may be null: then nothing is shown.
    CallNotification(Document& document, EventLoop& loop, WindowHooks window, std::unique_ptr<os::Notifier> notifier);
    ~CallNotification() override;

    void set_open_hook(OpenHook hook) { m_open = std::move(hook); }
    // The user's language for the texts; English without one.
    void set_translate(Translate translate) { m_translate = std::move(translate); }
    // Set before the first notification; without one every notification is shown here.
    void set_hand_over(HandOver hand_over) { m_hand_over = std::move(hand_over); }
    void on_document_event(const DocumentEvent& event) override;

    // "Call with NAME recorded, M:SS" (H:MM:SS from an hour on, rounded to the second); for a
    // recording that a failure (a DocumentEvent code 9, 10 or 11) ended early, "Call with NAME
    // stopped early: WHY; M:SS recorded".
    // A recording whose capture was lost for a while: "Call with NAME recorded with a gap: the sound
    // server went away; M:SS".
    static std::u16string text_for(std::u16string_view caller, double seconds, int32_t failure = 0, bool gap = false);
    // The same in the language translate gives ("Call_recorded", "Call_stopped_early" ...).
    static std::u16string text_for(const Translate& translate, std::u16string_view caller, double seconds,
                                   int32_t failure = 0, bool gap = false);

private:
    struct Pending {
        std::u16string path;
        std::u16string caller;
        double seconds = 0;
        int32_t failure = 0;
        bool gap = false;
    };
    // A notification's action was chosen; on the GUI thread.
    void open(uint64_t tag);
    void show(const Pending& pending);
    // Shows the notification, through the keeper when there is one; path is what its action opens.
    void send(os::Notification notification, std::u16string path);
    std::u16string translate(std::u16string_view key, std::u16string_view fallback) const;
    // The hand-over's thread.
    void hand_over_jobs();

    Document& m_document;
    EventLoop& m_loop;
    WindowHooks m_window;
    OpenHook m_open;
    // Made before the notifier's thread may post, and let go of in the destructor: a post that is
    // still queued then finds it expired.
    std::shared_ptr<CallNotification*> m_alive;
    std::unique_ptr<os::Notifier> m_notifier;
    // The call being recorded, known from its start, since the document forgets that it was a call
    // before it reports the stop.
    std::u16string m_call_path;
    std::u16string m_caller;
    // A stopped call recording, shown from the loop once the document has said why it stopped.
    std::optional<Pending> m_pending;
    uint64_t m_next_tag = 1;
    std::map<uint64_t, std::u16string> m_paths;
    Translate m_translate;
    HandOver m_hand_over;

    struct Job {
        os::Notification notification;
        std::u16string path;
        uint64_t tag = 0;
    };
    std::mutex m_jobs_lock;
    std::condition_variable m_jobs_ready;
    std::deque<Job> m_jobs;
    bool m_closing = false;
    // Started with the first hand-over; it finishes every job before it ends.
    std::thread m_hand_over_thread;
};
