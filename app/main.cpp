// Entry point of quillon-touch. The argument words joined by spaces are the command line
// ("quillon-touch record" → "record").
#include <memory>
#include <string>

#include "app/application.h"
#include "app/core/plain_event_loop.h"
#include "app/quit_signals.h"
#include "app/starter.h"
#include "document/document.h"
#include "os/log.h"
#include "os/text.h"
#include "os/tick.h"

namespace {

constexpr std::u16string_view application_name = u"Quillon Touch";

int win_main(const std::u16string& command_line) {
    os::log() << u"WinMain:" << os::tick_count() << u"\n";
    if (Application::show_running_instance_open_bracket(command_line, application_name)) {
        return Application::startup_exit_status();
    }

    os::log() << u"WinMain1:" << os::tick_count() << u"\n";
    // Headless until the display exists: the GUI thread runs the plain loop.
    Application application{std::u16string(application_name), std::make_unique<PlainEventLoop>()};
    os::log() << u"WinMain2:" << os::tick_count() << u"\n";

    QuitSignals quit_signals([&application] { application.game_base().post_quit(); });
    quit_signals.start();
    {
        // The document's constructor is the first loading phase; the second (settings, launch
        // entry, record scan) follows once the starter has executed the command words.
        Document document;
        Starter starter(application, command_line);
        document.load_secondary_things();
        application.run();
        // The starter goes first, then the document, whose destructor stops a running recording
        // and finishes its file.
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    block_quit_signals();
    std::string words;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) words += ' ';
        words += argv[i];
    }
    return win_main(os::from_utf8(words));
}
