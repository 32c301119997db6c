// quillon-tool move PATH FOLDER: moves a listed recording into a folder (a card's recordings
// folder, for instance) as the main list's "Move" does, and prints its new path. The file keeps its
// name unless that is taken there ("~1" and on). A recording that is not listed or cannot be moved
// is refused with a message and a non-zero status; it then stays where it was, whole.
#include "os/path.h"
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_move(const std::vector<std::string>& args) {
    if (args.size() != 2) return fail("usage: quillon-tool move PATH FOLDER");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    document.rescan();
    const std::u16string path = os::strip_separator(os::expand_path(os::from_utf8(args[0])));
    if (document.records().find(path) < 0) return fail(args[0] + ": not a listed recording");
    const std::u16string target =
        document.move_record(path, os::strip_separator(os::expand_path(os::from_utf8(args[1]))));
    if (target.empty()) return fail(args[0] + ": cannot be moved to " + args[1]);
    document_tool::print_line(target);
    return 0;
}

const ToolCommand command{"move", "PATH FOLDER", "move a recording into another folder", &run_move};
}  // namespace
