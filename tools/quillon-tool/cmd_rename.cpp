// quillon-tool rename PATH TITLE: gives a recording a new title (its tag and its file name) as the
// rename dialog does, and prints the new path. A recording that is not listed, or that cannot be
// renamed (a read-only folder or file), is refused with a message and a non-zero status, and
// "Path" keeps what it held.
#include "os/path.h"
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_rename(const std::vector<std::string>& args) {
    if (args.size() != 2) return fail("usage: quillon-tool rename PATH TITLE");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    document.rescan();
    const std::u16string path = os::strip_separator(os::expand_path(os::from_utf8(args[0])));
    if (document.records().find(path) < 0) return fail(args[0] + ": not a listed recording");
    if (!document.select(path, false)) return fail(args[0] + ": cannot be read");
    if (!document.set_title(os::from_utf8(args[1]))) return fail(args[0] + ": cannot be renamed");
    document_tool::print_line(document.current_record().path);
    return 0;
}

const ToolCommand command{"rename", "PATH TITLE", "give a recording a new title and file name", &run_rename};
}  // namespace
