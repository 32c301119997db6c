// quillon-tool delete PATH: deletes a listed recording as the delete dialog does. A recording that
// is not listed, or that cannot be deleted (a read-only folder), is refused with a message and a
// non-zero status, and "Path" keeps what it held.
#include "os/path.h"
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_delete(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("usage: quillon-tool delete PATH");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    document.rescan();
    const std::u16string path = os::strip_separator(os::expand_path(os::from_utf8(args[0])));
    if (document.records().find(path) < 0) return fail(args[0] + ": not a listed recording");
    if (!document.select(path, false)) return fail(args[0] + ": cannot be read");
    if (!document.remove()) return fail(args[0] + ": cannot be deleted");
    return 0;
}

const ToolCommand command{"delete", "PATH", "delete a recording", &run_delete};
}  // namespace
