// quillon-phone: the phone-state publisher. It simulates calls for users without a modem and for
// tests, writing the phone state that quillon-touch watches and honouring its launch registration.
//
//     quillon-phone incoming NUMBER [--name NAME] [--no-line-info]
//     quillon-phone dial NUMBER [--name NAME] [--no-line-info]
//     quillon-phone answer | hangup | speaker on|off | status
//     quillon-phone bridge
//
// "bridge" follows a real phone's modem stack instead (telephony/bridge/phone_bridge.h) until
// SIGINT or SIGTERM, printing one line per change. It also holds the quick-record shortcut where
// the desktop offers global shortcuts: pressed while no recorder runs, it starts
// "quillon-touch record" (QUILLON_TOUCH_PROGRAM names another program). And it keeps the
// notifications of recorded calls, so that "Open" on one starts "quillon-touch open PATH" after
// the instance that recorded the call has quit.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "os/buttons/gnome_buttons.h"
#include "os/notify/desktop_notifier.h"
#include "os/path.h"
#include "os/shortcuts/global_shortcut.h"
#include "os/text.h"
#include "telephony/bridge/call_notification_keeper.h"
#include "telephony/bridge/phone_bridge.h"
#include "telephony/phone_publisher.h"
#include "telephony/process_launch.h"

namespace {

int usage() {
    std::fputs(
        "usage: quillon-phone incoming NUMBER [--name NAME] [--no-line-info]\n"
        "       quillon-phone dial NUMBER [--name NAME] [--no-line-info]\n"
        "       quillon-phone answer | hangup | speaker on|off | status\n"
        "       quillon-phone bridge\n",
        stderr);
    return 2;
}

int report(const PublishResult& result) {
    for (const auto& launch : result.launches) {
        if (launch.instance_running) {
            std::printf("%s: quillon-touch runs, not started\n", os::to_utf8(launch.name).c_str());
        } else if (launch.pid > 0) {
            std::printf("%s: started %s (pid %d)\n", os::to_utf8(launch.name).c_str(),
                        os::to_utf8(launch.command_line).c_str(), static_cast<int>(launch.pid));
        } else {
            std::fprintf(stderr, "quillon-phone: %s: could not start %s\n", os::to_utf8(launch.name).c_str(),
                         os::to_utf8(launch.command_line).c_str());
        }
    }
    if (result.ok) return 0;
    std::fprintf(stderr, "quillon-phone: %s\n", result.message.c_str());
    return 1;
}

void print_launches(const std::vector<TriggeredLaunch>& launches) {
    for (const auto& launch : launches) {
        if (launch.instance_running) {
            std::printf("%s: quillon-touch runs, not started\n", os::to_utf8(launch.name).c_str());
        } else if (launch.pid > 0) {
            std::printf("%s: started %s (pid %d)\n", os::to_utf8(launch.name).c_str(),
                        os::to_utf8(launch.command_line).c_str(), static_cast<int>(launch.pid));
        } else {
            std::printf("%s: could not start %s\n", os::to_utf8(launch.name).c_str(),
                        os::to_utf8(launch.command_line).c_str());
        }
    }
}

// The recorder beside this program, or the one QUILLON_TOUCH_PROGRAM names.
std::u16string touch_program() {
    const char* named = std::getenv("QUILLON_TOUCH_PROGRAM");
    return named && *named ? os::from_utf8(named) : os::join(os::program_folder(), u"quillon-touch");
}

// The recorder with "record".
std::u16string quick_record_launch() { return u"\"" + touch_program() + u"\" record"; }

// The notifications of recorded calls, kept here so that choosing one still opens its recording
// after the instance that recorded the call has quit.
std::unique_ptr<CallNotificationKeeper> keep_call_notifications() {
    auto keeper = std::make_unique<CallNotificationKeeper>(
        std::make_unique<os::DesktopNotifier>(u"Quillon Touch", u"com.korvel.QuillonTouch", u"com.korvel.QuillonTouch"),
        [](const std::u16string& path) {
            return spawn_program({os::to_utf8(touch_program()), "open", os::to_utf8(path)});
        });
    keeper->set_message_listener(
        [](const std::string& message) { std::printf("notification: %s\n", message.c_str()); });
    return keeper;
}

// A press while the recorder runs is the recorder's own: it holds the shortcut too.
void on_record_shortcut() {
    if (quillon_touch_running()) {
        std::printf("shortcut: record pressed, the recorder runs\n");
        return;
    }
    const std::u16string command = quick_record_launch();
    const pid_t pid = spawn_command_line(command);
    if (pid > 0) {
        std::printf("shortcut: started %s (pid %d)\n", os::to_utf8(command).c_str(), static_cast<int>(pid));
    } else {
        std::printf("shortcut: could not start %s\n", os::to_utf8(command).c_str());
    }
}

std::unique_ptr<os::GlobalShortcut> hold_record_shortcut() {
    if (os::gnome_key_assigned()) {
        std::printf("shortcut: a GNOME key starts recordings\n");
        return nullptr;
    }
    auto shortcut = std::make_unique<os::GlobalShortcut>(
        u"com.korvel.QuillonTouch", u"record", u"Start or pause a voice note", u"CTRL+ALT+R", on_record_shortcut);
    // The portal answers at once when it is missing; a desktop's dialog may wait for the user.
    const os::GlobalShortcut::State state = shortcut->wait_settled(0.5);
    if (state == os::GlobalShortcut::State::Unavailable) {
        std::printf("shortcut: no global shortcuts on this desktop\n");
        return nullptr;
    }
    return shortcut;
}

int bridge() {
    // One line per change, seen at once by whoever reads the output (a journal, a test).
    std::setvbuf(stdout, nullptr, _IOLBF, 0);
    const std::unique_ptr<os::GlobalShortcut> record_shortcut = hold_record_shortcut();
    std::unique_ptr<PhoneBridge> phone_bridge = PhoneBridge::create();
    const std::unique_ptr<CallNotificationKeeper> call_notifications = keep_call_notifications();
    phone_bridge->set_message_listener([](const std::string& message) { std::printf("%s\n", message.c_str()); });
    phone_bridge->set_publish_listener([](const LineSnapshot& line, const std::vector<TriggeredLaunch>& launches) {
        std::printf("calls %u%s%s%s\n", line.call_count, line.connected ? " connected" : "",
                    line.ringing ? " ringing" : "", line.dialling ? " dialling" : "");
        print_launches(launches);
    });
    std::printf("bridge running\n");
    phone_bridge->run();
    std::printf("bridge stopped\n");
    return 0;
}

int call(const std::vector<std::string>& args, bool outgoing) {
    if (args.empty() || args[0].empty() || args[0].rfind("--", 0) == 0) return usage();
    PublishedCall published;
    published.number = os::from_utf8(args[0]);
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--name" && i + 1 < args.size()) {
            published.name = os::from_utf8(args[++i]);
        } else if (args[i] == "--no-line-info") {
            published.line_info = false;
        } else {
            return usage();
        }
    }
    return report(outgoing ? publish_dial(published) : publish_incoming(published));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage();
    const std::string command = argv[1];
    const std::vector<std::string> args(argv + 2, argv + argc);
    if (command == "incoming") return call(args, false);
    if (command == "dial") return call(args, true);
    if (command == "answer" && args.empty()) return report(publish_answer());
    if (command == "hangup" && args.empty()) return report(publish_hangup());
    if (command == "speaker" && args.size() == 1 && (args[0] == "on" || args[0] == "off")) {
        return report(publish_speaker(args[0] == "on"));
    }
    if (command == "bridge" && args.empty()) return bridge();
    if (command == "status" && args.empty()) {
        std::printf("%s\n", phone_status_json().c_str());
        return 0;
    }
    return usage();
}
