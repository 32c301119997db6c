// quillon-tool append PATH [--seconds N]: continues a recording (MP3 or WAV) at its end through
// the Document, until N seconds have passed or Ctrl-C / SIGTERM.
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_append(const std::vector<std::string>& arguments) {
    std::vector<std::string> args = arguments;
    const double seconds = document_tool::seconds_option(args);
    if (args.size() != 1 || seconds == -2) return fail("usage: quillon-tool append PATH [--seconds N]");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    if (!document.select(os::from_utf8(args[0]))) return fail(args[0] + ": cannot be read");
    if (!document.record_append()) return fail(args[0] + ": cannot be continued");
    session.run(seconds, [&] { return document.is_recording(); });
    document.stop();
    if (session.events.error) return fail("the recording ended with error " + std::to_string(session.events.error));
    return 0;
}

const ToolCommand command{"append", "PATH [--seconds N]", "continue a recording at its end", &run_append};
}  // namespace
