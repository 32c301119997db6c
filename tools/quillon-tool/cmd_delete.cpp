// quillon-tool delete PATH: deletes a listed recording as the delete dialog does.
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {
int run_delete(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("usage: quillon-tool delete PATH");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    document.rescan();
    if (!document.select(os::from_utf8(args[0]))) return fail(args[0] + ": cannot be read");
    if (document.records().find(document.current_record().path) < 0) return fail(args[0] + ": not a listed recording");
    document.remove();
    return 0;
}

const ToolCommand command{"delete", "PATH", "delete a recording", &run_delete};
}  // namespace
