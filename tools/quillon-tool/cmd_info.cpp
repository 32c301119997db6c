// quillon-tool info FILE: opens a recording through the reader factory, as playback does, and
// prints what the document shows of it as one JSON object.
#include <cstdio>
#include <string>

#include "audio/readers/file_reader.h"
#include "audio/tags/file_tags.h"
#include "os/text.h"
#include "tools/quillon-tool/command.h"

namespace {

int run_info(const std::vector<std::string>& args) {
    if (args.size() != 1) return fail("usage: quillon-tool info FILE");
    const std::u16string path = os::from_utf8(args[0]);
    FileReader::Refusal refusal = FileReader::Refusal::None;
    std::unique_ptr<FileReader> reader = FileReader::open(path, &refusal);
    if (!reader) return fail(args[0] + ": " + FileReader::describe(refusal));
    const StreamInfo& info = reader->info();
    const RecordTags tags = read_file_tags(path);
    std::printf(
        "{\"codec\": %s, \"channels\": %d, \"rate\": %d, \"bits\": %d, \"bit_rate\": %d, \"duration\": %.3f, "
        "\"file_size\": %lld, \"artist\": %s, \"title\": %s, \"album\": %s}\n",
        os::json_string(reader->codec()).c_str(), info.channels(), info.rate(), info.bits(), info.bit_rate(),
        info.duration(), static_cast<long long>(info.file_size()), os::json_string(tags.artist).c_str(),
        os::json_string(tags.title).c_str(), os::json_string(tags.album).c_str());
    return 0;
}

const ToolCommand command{"info", "FILE", "probe a recording through the reader factory and print it as JSON",
                          &run_info};

}  // namespace
