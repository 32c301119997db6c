// quillon-tool list: the record list after a full scan of every storage, newest first, one JSON
// object per line: {"path","artist","title","album","size","date"}.
#include <cstdio>

#include "os/text.h"
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {

std::string date_text(const os::DateTime& date) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d", date.year(), date.month(), date.day(),
                  date.hour(), date.minute(), date.whole_seconds());
    return text;
}

int run_list(const std::vector<std::string>& args) {
    if (!args.empty()) return fail("usage: quillon-tool list");
    document_tool::DocumentSession session;
    Document& document = *session.document;
    document.rescan();
    const RecordList& records = document.records();
    for (size_t i = 0; i < records.size(); ++i) {
        const RecordEntry& entry = records.at(i);
        std::printf("{\"path\":%s,\"artist\":%s,\"title\":%s,\"album\":%s,\"size\":%s,\"date\":\"%s\"}\n",
                    os::json_string(entry.path).c_str(), os::json_string(entry.artist).c_str(),
                    os::json_string(entry.title).c_str(), os::json_string(entry.album).c_str(),
                    os::json_string(entry.size_text).c_str(), date_text(entry.date).c_str());
    }
    return 0;
}

const ToolCommand command{"list", "", "list the recordings of every storage, newest first, as JSON lines", &run_list};
}  // namespace
