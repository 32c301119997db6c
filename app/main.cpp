// Entry point of quillon-touch. The argument words joined by spaces are the command line
// ("quillon-touch record" → "record"); "--fullscreen" and "--headless" choose the window and are
// not part of it. "quillon-touch open PATH" shows that recording (a relative path is made absolute
// here, since the instance that opens it may be another process).
#include <stdlib.h>
#include <unistd.h>

#include <memory>
#include <string>

#include "app/application.h"
#include "app/call_notification.h"
#include "app/media_session.h"
#include "app/quit_signals.h"
#include "app/starter.h"
#include "document/document.h"
#include "os/buttons/gnome_buttons.h"
#include "os/log.h"
#include "os/media/mpris_service.h"
#include "os/notify/desktop_notifier.h"
#include "os/shortcuts/global_shortcut.h"
#include "os/text.h"
#include "os/tick.h"
#include "telephony/bridge/call_notification_keeper.h"

namespace {

constexpr std::u16string_view application_name = u"Quillon Touch";
// The desktop entry's name, which is also the icon's.
constexpr std::u16string_view desktop_id = u"com.korvel.QuillonTouch";

int win_main(const std::u16string& command_line, const WindowOptions& options) {
    os::log() << u"WinMain:" << os::tick_count() << u"\n";
    if (Application::show_running_instance_open_bracket(command_line, application_name)) {
        return Application::startup_exit_status();
    }

    os::log() << u"WinMain1:" << os::tick_count() << u"\n";
    Application application{std::u16string(application_name), options};
    os::log() << u"WinMain2:" << os::tick_count() << u"\n";

    QuitSignals quit_signals([&application] { application.game_base().post_quit(); });
    quit_signals.start();
    int status = 0;
    {
        // The document's constructor is the first loading phase; the second (settings, launch
        // entry, record scan) follows at the starter's splash timer.
        Document document;
        GameBase& host = application.game_base();
        CallNotification call_notification(
            document, host.loop(), {[&host] { return host.is_active(); }, [&host] { host.bring_to_front(); }},
            std::make_unique<os::DesktopNotifier>(std::u16string(application_name), std::u16string(desktop_id),
                                                  std::u16string(desktop_id)));
        // The phone bridge, where it runs, keeps the notification after this instance quits.
        call_notification.set_hand_over(&call_notification_keeper::hand_over);
        // The desktop's media controls and headset buttons see and drive what plays or records.
        MediaSession media_session(
            document, host.loop(), [&host] { host.bring_to_front(); },
            std::make_unique<os::MprisService>(std::u16string(application_name), std::u16string(desktop_id),
                                               u"QuillonTouch"));
        // Where the desktop offers global shortcuts (KDE Plasma, GNOME 48 and later, Hyprland) the
        // "record" shortcut starts or pauses a voice note while the program runs, unless one of
        // GNOME's custom keys does so already.
        const auto shortcut_alive = std::make_shared<bool>(true);
        std::unique_ptr<os::GlobalShortcut> record_shortcut;
        if (os::gnome_key_assigned()) {
            os::log() << u"shortcuts: a GNOME key starts recordings, no global shortcut\n";
        } else {
            record_shortcut = std::make_unique<os::GlobalShortcut>(
                std::u16string(desktop_id), u"record", u"Start or pause a voice note", u"CTRL+ALT+R",
                [loop = &host.loop(), alive = std::weak_ptr<bool>(shortcut_alive), recorder = &document] {
                    loop->post_task([alive, recorder] {
                        if (alive.lock()) recorder->handle_command_line(u"record");
                    });
                });
        }
        Starter starter(application, command_line);
        application.run();
        status = starter.exit_status();
        // The starter goes first, then the media session and the call notification, then the
        // document, whose destructor stops a running recording and finishes its file.
    }
    return status;
}

std::string absolute_path(const std::string& path) {
    char* folder = ::getcwd(nullptr, 0);
    if (!folder) return path;
    const std::string joined = std::string(folder) + "/" + path;
    ::free(folder);
    return joined;
}

}  // namespace

int main(int argc, char** argv) {
    block_quit_signals();
    // The desktop ties the window to its menu entry by this class (X11) or application id
    // (Wayland); a value the user set is kept.
    ::setenv("SDL_VIDEO_X11_WMCLASS", "com.korvel.QuillonTouch", 0);
    ::setenv("SDL_VIDEO_WAYLAND_WMCLASS", "com.korvel.QuillonTouch", 0);
    WindowOptions options;
    std::string words;
    bool first = true;
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--headless" || word == "--fullscreen") {
            (word == "--headless" ? options.headless : options.fullscreen) = true;
            continue;
        }
        if (!first) words += ' ';
        // The running instance that opens the file may work in another folder.
        words += words == "open " && !word.empty() && word.front() != '/' ? absolute_path(word) : word;
        first = false;
    }
    return win_main(os::from_utf8(words), options);
}
