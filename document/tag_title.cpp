#include "document/tag_title.h"

#include <vector>

#include "audio/mp3/id3_reader.h"
#include "audio/mp3/id3_tag.h"
#include "audio/readers/input_file.h"
#include "os/file.h"

namespace {
void put_frame(std::vector<uint8_t>& out, const std::string& id, const std::vector<uint8_t>& body) {
    out.insert(out.end(), id.begin(), id.end());
    const uint32_t size = static_cast<uint32_t>(body.size());
    const uint8_t header[6] = {uint8_t(size >> 24), uint8_t(size >> 16), uint8_t(size >> 8), uint8_t(size), 0, 0};
    out.insert(out.end(), header, header + 6);
    out.insert(out.end(), body.begin(), body.end());
}
}  // namespace

bool rewrite_tag_title(const std::u16string& path, std::u16string_view title) {
    Id3v2Tag tag;
    uint8_t header[10] = {};
    {
        InputFile input(path);
        if (!input.is_open() || input.read(header, 10) != 10) return false;
        input.seek(0);
        tag = read_id3v2(input);
    }
    // Only the layout we write ourselves: version 2.3 without unsynchronisation, extended header
    // or other flags, whose frames we can copy byte for byte.
    if (!tag.present || tag.version != 3 || header[5] != 0) return false;

    Id3Tag title_frame;
    title_frame.set_text("TIT2", title);
    std::vector<uint8_t> frames;
    bool placed = false;
    for (const Id3Frame& frame : tag.frames) {
        if (frame.id == "TIT2") {
            if (placed) continue;
            placed = true;
            if (!title_frame.frames().empty()) put_frame(frames, "TIT2", title_frame.frames()[0].body);
            continue;
        }
        put_frame(frames, frame.id, frame.body);
    }
    if (!placed && !title_frame.frames().empty()) put_frame(frames, "TIT2", title_frame.frames()[0].body);
    if (frames.size() + 10 > static_cast<size_t>(tag.size)) return false;

    std::vector<uint8_t> bytes(header, header + 10);
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    bytes.resize(static_cast<size_t>(tag.size), 0);
    os::File file(path, os::File::ReadWrite);
    return file.is_open() && file.seek(0) && file.write(bytes.data(), bytes.size()) == bytes.size();
}
