// quillon-tool play PATH: plays a recording to the audio output (QUILLON_AUDIO_OUT when set) at
// the saved "Volume" and returns when it has finished.
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_play(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("usage: quillon-tool play PATH");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    // The saved "Volume", as the program plays at it.
    document.settings().load_secondary();
    document.player().set_volume(document.settings().volume);
    if (!document.play(os::from_utf8(args[0]))) return fail(args[0] + ": no reader accepts it");
    session.run(-1, [&] { return document.is_playing(); });
    document.stop();
    if (session.events.error == DocumentEvent::PlayerFailed) return fail("no sound output could be opened");
    if (session.events.error) return fail("playback ended with error " + std::to_string(session.events.error));
    return 0;
}

const ToolCommand command{"play", "PATH", "play a recording to the end", &run_play};
}  // namespace
