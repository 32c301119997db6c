#pragma once
// Tells the desktop when a call was recorded while the window was not in front:
// "Call with Alice Walker recorded, 2:31" (the caller's name, else the number, and the length).
// Choosing the notification brings the window to the front and hands the recording to the open
// hook, which the main screen fills to show it in the playback screen.
//
// GUI thread, except that the notifier's action handler may run on any thread: it only posts to
// the loop. Observes the document from construction to destruction, so it is made after the
// document and goes before it.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

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

    // notifier may be null: then nothing is shown.
    CallNotification(Document& document, EventLoop& loop, WindowHooks window, std::unique_ptr<os::Notifier> notifier);
    ~CallNotification() override;

    void set_open_hook(OpenHook hook) { m_open = std::move(hook); }
    void on_document_event(const DocumentEvent& event) override;

    // "Call with NAME recorded, M:SS" (H:MM:SS from an hour on, rounded to the second); for a
    // recording that a failure (a DocumentEvent code 9, 10 or 11) ended early, "Call with NAME
    // stopped early: WHY; M:SS recorded".
    // A recording whose capture was lost for a while: "Call with NAME recorded with a gap: the sound
    // server went away; M:SS".
    static std::u16string text_for(std::u16string_view caller, double seconds, int32_t failure = 0, bool gap = false);

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
};
