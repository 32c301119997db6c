#include "audio/tags/file_tags.h"

#include <taglib/apetag.h>
#include <taglib/id3v1tag.h>
#include <taglib/id3v2header.h>
#include <taglib/id3v2tag.h>
#include <taglib/infotag.h>
#include <taglib/mpcfile.h>
#include <taglib/mpegfile.h>
#include <taglib/tag.h>
#include <taglib/tfilestream.h>
#include <taglib/vorbisfile.h>
#include <taglib/wavfile.h>

#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "audio/stream/container_magic.h"
#include "audio/stream/input_file.h"
#include "os/file.h"
#include "os/file_system.h"
#include "os/path.h"
#include "os/text.h"

namespace {

std::u16string text_of(const TagLib::String& text) { return os::from_utf8(text.to8Bit(true)); }

// The library's file object for what the first bytes say the file is. No audio properties: only
// the tags are wanted, and reading properties may walk the whole stream.
std::unique_ptr<TagLib::File> open_tags(const std::string& path, Container container) {
    switch (container) {
        case Container::Empty:
            return nullptr;
        case Container::Wave:
            return std::make_unique<TagLib::RIFF::WAV::File>(path.c_str(), false);
        case Container::Ogg:
            return std::make_unique<TagLib::Ogg::Vorbis::File>(path.c_str(), false);
        case Container::Musepack:
            return std::make_unique<TagLib::MPC::File>(path.c_str(), false);
        case Container::Other:
            break;
    }
    return std::make_unique<TagLib::MPEG::File>(path.c_str(), false);
}

struct OpenTags {
    Container container = Container::Empty;
    std::unique_ptr<TagLib::File> file;
};

OpenTags open_path(const std::u16string& path) {
    OpenTags out;
    bool readable = false;
    out.container = container_of_file(path, &readable);
    if (!readable) return out;
    out.file = open_tags(os::to_utf8(path), out.container);
    if (out.file && !out.file->isValid()) out.file.reset();
    return out;
}

// The file's tags in the order their fields count: the first one that has a field gives it. The
// library's own union of a WAV file's tags comes back empty when the file has no ID3v2 chunk, so
// the tags are taken one by one.
std::vector<const TagLib::Tag*> tags_in_order(const OpenTags& open) {
    std::vector<const TagLib::Tag*> in_order;
    if (!open.file) return in_order;
    if (open.container == Container::Wave) {
        auto& wav = static_cast<TagLib::RIFF::WAV::File&>(*open.file);
        if (wav.hasID3v2Tag()) in_order.push_back(wav.ID3v2Tag());
        if (wav.hasInfoTag()) in_order.push_back(wav.InfoTag());
    } else if (open.container == Container::Other) {
        auto& mpeg = static_cast<TagLib::MPEG::File&>(*open.file);
        if (mpeg.hasID3v2Tag()) in_order.push_back(mpeg.ID3v2Tag());
        if (mpeg.hasAPETag()) in_order.push_back(mpeg.APETag());
        if (mpeg.hasID3v1Tag()) in_order.push_back(mpeg.ID3v1Tag());
    } else if (open.file->tag() != nullptr) {
        in_order.push_back(open.file->tag());
    }
    return in_order;
}

// A file object for the library's tag parsers over a stream we opened, with nothing else read.
class StreamOnlyFile : public TagLib::File {
public:
    explicit StreamOnlyFile(TagLib::IOStream* stream) : TagLib::File(stream) {}
    TagLib::Tag* tag() const override { return nullptr; }
    TagLib::AudioProperties* audioProperties() const override { return nullptr; }
    bool save() override { return false; }
};

void fill_missing(RecordTags& tags, const TagLib::Tag& tag) {
    if (tags.artist.empty()) tags.artist = text_of(tag.artist());
    if (tags.title.empty()) tags.title = text_of(tag.title());
    if (tags.album.empty()) tags.album = text_of(tag.album());
}

bool complete(const RecordTags& tags) { return !tags.artist.empty() && !tags.title.empty() && !tags.album.empty(); }

}  // namespace

RecordTags read_file_tags(const std::u16string& path) {
    RecordTags tags;
    Container container = Container::Empty;
    {
        InputFile file(path);
        std::uint8_t head[12] = {};
        const std::size_t got = file.is_open() ? file.read(head, sizeof head) : 0;
        if (got == 0) return tags;
        container = container_of_bytes(head, got);
        // The layout our recorder writes (and most taggers): an ID3v2.3 tag with none of the
        // header flags. Our own reader takes it from the file already open at a third of the
        // library's cost, which is what a scan of a folder of recordings spends its time on.
        const bool plain_id3v23 =
            got >= 6 && head[0] == 'I' && head[1] == 'D' && head[2] == '3' && head[3] == 3 && head[5] == 0;
        if (container == Container::Other && plain_id3v23 && file.seek(0)) {
            const Id3v2Tag front = read_id3v2(file);
            tags.artist = front.text("TPE1");
            tags.title = front.text("TIT2");
            tags.album = front.text("TALB");
            if (complete(tags)) return tags;
            tags = RecordTags{};
        }
    }
    if (container == Container::Other) {
        // An ID3v2 tag in front that has all three is the whole answer, as the tags behind the
        // audio only fill in what it lacks: reading just the start of the file keeps a scan of a
        // folder of recordings (one page of each file) as fast as it was.
        TagLib::FileStream stream(os::to_utf8(path).c_str(), true);
        if (stream.isOpen()) {
            StreamOnlyFile file(&stream);
            const TagLib::ID3v2::Tag front(&file, 0);
            fill_missing(tags, front);
            if (complete(tags)) return tags;
        }
    }
    const OpenTags open = open_path(path);
    const std::vector<const TagLib::Tag*> in_order = tags_in_order(open);
    for (const TagLib::Tag* tag : in_order) fill_missing(tags, *tag);
    if (open.container == Container::Other && !complete(tags)) {
        // The library misplaces the frames behind an ID3v2.3 extended header; our own reader
        // fills in what it left out.
        const RecordTags own = read_record_tags(path);
        if (tags.artist.empty()) tags.artist = own.artist;
        if (tags.title.empty()) tags.title = own.title;
        if (tags.album.empty()) tags.album = own.album;
    }
    return tags;
}

bool has_foreign_tags(const std::u16string& path) {
    const OpenTags open = open_path(path);
    if (!open.file) return false;
    if (open.container != Container::Other) {
        for (const TagLib::Tag* tag : tags_in_order(open)) {
            if (!tag->isEmpty()) return true;
        }
        return false;
    }
    auto& mpeg = static_cast<TagLib::MPEG::File&>(*open.file);
    if (mpeg.hasAPETag()) return true;
    if (mpeg.hasID3v2Tag()) {
        const unsigned version = mpeg.ID3v2Tag()->header()->majorVersion();
        return version != 3 && version != 4;
    }
    return false;
}

bool write_file_title(const std::u16string& path, std::u16string_view title) {
    // The library rewrites a file in place, moving its audio when a tag grows: a copy takes the
    // change and then the original's place in one step, so a crash leaves one whole file or the other.
    const std::u16string copy = os::folder_of(path) + u"/." + os::file_name_of(path) + u".retitle";
    std::error_code error;
    std::filesystem::copy_file(os::to_utf8(path), os::to_utf8(copy), std::filesystem::copy_options::overwrite_existing,
                               error);
    if (error) return false;
    bool saved = false;
    {
        const OpenTags open = open_path(copy);
        if (open.file) {
            const TagLib::String text(os::to_utf8(std::u16string(title)), TagLib::String::UTF8);
            if (open.container == Container::Other) {
                // Every tag the file has, so no reader finds the old title in another one; ID3v2
                // is kept at the version the file had.
                auto& mpeg = static_cast<TagLib::MPEG::File&>(*open.file);
                const bool has_v2 = mpeg.hasID3v2Tag();
                const int version = has_v2 ? static_cast<int>(mpeg.ID3v2Tag()->header()->majorVersion()) : 4;
                int kinds = TagLib::MPEG::File::NoTags;
                if (mpeg.hasAPETag()) {
                    mpeg.APETag()->setTitle(text);
                    kinds |= TagLib::MPEG::File::APE;
                }
                if (mpeg.hasID3v1Tag()) {
                    mpeg.ID3v1Tag()->setTitle(text);
                    kinds |= TagLib::MPEG::File::ID3v1;
                }
                if (has_v2 || kinds == TagLib::MPEG::File::NoTags) {
                    mpeg.ID3v2Tag(true)->setTitle(text);
                    kinds |= TagLib::MPEG::File::ID3v2;
                }
                saved = mpeg.save(kinds, TagLib::File::StripNone, version == 3 ? TagLib::ID3v2::v3 : TagLib::ID3v2::v4,
                                  TagLib::File::DoNotDuplicate);
            } else if (open.container == Container::Wave) {
                auto& wav = static_cast<TagLib::RIFF::WAV::File&>(*open.file);
                // Both kinds a WAV may carry, each only when present (INFO when there is neither).
                const bool has_id3 = wav.hasID3v2Tag();
                const bool has_info = wav.hasInfoTag() || !has_id3;
                if (has_id3) wav.ID3v2Tag()->setTitle(text);
                if (has_info) wav.InfoTag()->setTitle(text);
                int kinds = 0;
                if (has_id3) kinds |= TagLib::RIFF::WAV::File::ID3v2;
                if (has_info) kinds |= TagLib::RIFF::WAV::File::Info;
                saved = wav.save(static_cast<TagLib::RIFF::WAV::File::TagTypes>(kinds), TagLib::File::StripNone);
            } else {
                open.file->tag()->setTitle(text);
                saved = open.file->save();
            }
        }
    }
    if (saved) {
        os::File written(copy, os::File::ReadWrite);
        saved = written.is_open() && written.flush();
    }
    if (!saved || !os::replace_file(copy, path)) {
        os::delete_file(copy);
        return false;
    }
    return true;
}
