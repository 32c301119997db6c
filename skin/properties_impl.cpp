#include "skin/properties_impl.h"

#include <filesystem>
#include <unordered_map>

#include "os/event.h"
#include "os/log.h"
#include "os/path.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "skin/skin_format.h"

using namespace skin_format;

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;

void log_entry_sizes() {
    os::log() << u"sizeof(Node*4)=" << 8 << u"\n";
    os::log() << u"sizeof(IntegerNode*4)=" << 32 << u"\n";
    os::log() << u"sizeof(PointNode*4)=" << 32 << u"\n";
    os::log() << u"sizeof(Node)=" << 2 << u"\n";
    os::log() << u"sizeof(IntegerNode)=" << 8 << u"\n";
    os::log() << u"IntegerNode::Size=" << kEntrySize[0] << u"\n";
    os::log() << u"sizeof(PointNode)=" << 8 << u"\n";
    os::log() << u"PointNode::Size=" << kEntrySize[2] << u"\n";
    os::log() << u"sizeof(ColorNode)=" << 8 << u"\n";
    os::log() << u"ColorNode::Size=" << kEntrySize[5] << u"\n";
    os::log() << u"sizeof(StringNode)=" << 4 << u"\n";
    os::log() << u"StringNode::Size=" << kEntrySize[3] << u"\n";
    os::log() << u"sizeof(PictureNode)=" << 20 << u"\n";
    os::log() << u"PictureNode::Size=" << kEntrySize[4] << u"\n";
}
// The folder the skin file lies in, as an absolute path: a skin named relative to the current
// folder ("default.skin", "skins/default.skin") has its pictures beside it, not at the root.
std::u16string skin_folder(std::u16string_view path) {
    std::u16string folder = os::folder_of(os::expand_path(path));
    if (!folder.empty() && folder.front() == u'/') return folder;
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    if (error) return folder.empty() ? u"./" : folder;
    return os::from_utf8(current.string()) + u"/" + folder;
}
}  // namespace

PropertiesImpl::PropertiesImpl(std::vector<uint8_t> bytes, std::u16string_view path, const DisplayInfo& display,
                               bool load_resources)
    : image(std::move(bytes)) {
    log_entry_sizes();
    if (image.size() < kHeaderSize) return;
    for (uint32_t i = 0; i < 4; ++i) {
        if (image.u16(2 * i) != kMagic[i]) return;
    }
    hi_res = display.dpi_y >= 192 ? 1 : 0;
    root = image.u32(kRootOffset);
    if (!check_tree()) return;

    std::vector<std::u16string> pool;
    const uint32_t picture_count = image.u32(kPictureCount);
    const uint32_t font_count = image.u32(kFontCount);
    const uint32_t string_count = image.u32(kStringCount);
    if (!read_pool(picture_count, font_count, string_count, pool)) return;

    Stopwatch stopwatch;
    const std::u16string folder = skin_folder(path);
    for (uint32_t i = 0; i < picture_count && !load_resources; ++i) picture_names.push_back(pool[i]);
    for (uint32_t i = 0; i < picture_count && load_resources; ++i) {
        const std::u16string& name = pool[i];
        // The picture sits beside the skin file; expansion turns the backslash into our separator.
        const std::u16string file = os::expand_path(folder + u"\\" + name + u".bmp");
        BitmapLoad load = load_565_file(file);
        if (load.status == BitmapLoad::Status::Not16Bit) {
            os::log() << u"load_565 " << file << u" is not 16bit bitmap\n";
        } else if (load.status != BitmapLoad::Status::Ok) {
            os::log() << u"load_565 " << file << u" cannot be read\n";
        }
        if (!load.bitmap) {
            os::log() << u"PropertiesImpl::PropertiesImpl picture failed to load {" << name << u"}\n";
            return;
        }
        PictureRef picture;
        picture.p2 = picture.p3 = {load.bitmap->width(), load.bitmap->height()};
        picture.bitmap = std::move(load.bitmap);
        picture.scale_shift = hi_res;
        pictures.push_back(std::move(picture));
        picture_names.push_back(name);
        os::log() << u"PropertiesImpl::PropertiesImpl picture load time=" << stopwatch.elapsed() << u" {" << name
                  << u"}\n";
    }
    for (uint32_t i = 0; i < font_count; ++i) {
        font_descriptions.push_back(pool[picture_count + i]);
        if (!load_resources) continue;
        FontSpec spec;
        spec.scale = 1 << hi_res;
        parse_font_description(pool[picture_count + i], spec);
        fonts.push_back(std::make_shared<FontRep>(spec, display.dpi_y));
    }
    strings.assign(pool.begin() + picture_count + font_count, pool.end());
    os::log() << u"PropertiesImpl::PropertiesImpl fonts create time=" << stopwatch.elapsed() << u"\n";
    m_valid = true;
}

bool PropertiesImpl::read_pool(uint32_t picture_count, uint32_t font_count, uint32_t string_count,
                               std::vector<std::u16string>& pool) const {
    // Every string takes at least its NUL, so counts larger than the file can hold are refused
    // before anything is reserved for them.
    const uint64_t total = static_cast<uint64_t>(picture_count) + font_count + string_count;
    if (total > image.size() / 2) return false;
    uint32_t offset = image.u32(kPoolOffset);
    pool.reserve(static_cast<size_t>(total));
    for (uint64_t i = 0; i < total; ++i) {
        const uint32_t next = image.end_of_text(offset);
        if (next == 0) return false;
        pool.push_back(image.text(offset));
        offset = next;
    }
    return true;
}

bool PropertiesImpl::check_tree() const {
    // Directory entries: each inside the file, each reached once (a loop or a shared entry is a
    // broken file), then their records.
    std::vector<uint32_t> records;
    std::vector<uint32_t> pending;
    std::unordered_map<uint32_t, bool> seen_entries;
    if (root != kNone) pending.push_back(root);
    while (!pending.empty()) {
        const uint32_t entry = pending.back();
        pending.pop_back();
        if (!image.contains(entry, kEntryRecord) || !seen_entries.emplace(entry, true).second) return false;
        if (seen_entries.size() > kMaxSkinElements) return false;
        records.push_back(entry + kEntryRecord);
        for (uint32_t side : {kEntryLeft, kEntryRight}) {
            const uint32_t next = image.u32(entry + side);
            if (next != kNone) pending.push_back(next);
        }
    }

    // Element records: depth-first without recursion. Shared records are allowed (they load as
    // copies), but a record that is its own ancestor would never end, and the expanded tree must
    // stay within the element and depth limits.
    struct Info {
        uint8_t state = 0;  // 1 on the path, 2 done
        uint32_t expanded = 0;
        uint32_t depth = 0;
    };
    std::unordered_map<uint32_t, Info> info;
    struct Frame {
        uint32_t record;
        uint32_t next_child;
    };
    uint64_t total = 0;
    for (uint32_t top : records) {
        std::vector<Frame> stack;
        auto enter = [&](uint32_t record) {
            Info& item = info[record];
            if (item.state == 1) return false;
            if (item.state == 2) return true;
            if (!image.contains(record, kRecordChildren)) return false;
            const uint32_t count = image.u16(record + kRecordChildCount);
            if (!image.contains(record + kRecordChildren, 4 * count)) return false;
            item.state = 1;
            stack.push_back({record, 0});
            return true;
        };
        if (!enter(top)) return false;
        while (!stack.empty()) {
            Frame& frame = stack.back();
            const uint32_t count = image.u16(frame.record + kRecordChildCount);
            if (frame.next_child < count) {
                const uint32_t child = image.u32(frame.record + kRecordChildren + 4 * frame.next_child++);
                if (!enter(child)) return false;
                continue;
            }
            Info& item = info[frame.record];
            uint64_t expanded = 1;
            uint32_t depth = 1;
            for (uint32_t i = 0; i < count; ++i) {
                const Info& child = info[image.u32(frame.record + kRecordChildren + 4 * i)];
                expanded += child.expanded;
                depth = std::max(depth, child.depth + 1);
            }
            if (expanded > kMaxSkinElements || depth > kMaxSkinDepth) return false;
            item.expanded = static_cast<uint32_t>(expanded);
            item.depth = depth;
            item.state = 2;
            stack.pop_back();
        }
        total += info[top].expanded;
        if (total > kMaxSkinElements) return false;
    }
    return true;
}

std::optional<PropertiesImpl::TableSpan> PropertiesImpl::table(uint32_t record, int kind) const {
    if (!image.contains(record, kRecordChildren)) return std::nullopt;
    const uint32_t start = image.u16(record + 2 * kind);
    const uint32_t end = image.u16(record + 2 * (kind + 1));
    if (end < start) return std::nullopt;
    const uint32_t entry_size = kEntrySize[kind];
    const uint32_t count = (end - start) / entry_size;
    if (!image.contains(record + start, count * entry_size)) return std::nullopt;
    return TableSpan{record + start, count};
}

std::optional<uint32_t> PropertiesImpl::find_entry(uint32_t record, int kind, std::u16string_view name) const {
    const auto span = table(record, kind);
    if (!span) return std::nullopt;
    const uint32_t entry_size = kEntrySize[kind];
    uint32_t lo = 0;
    uint32_t hi = span->count;
    while (lo < hi) {
        const uint32_t mid = (lo + hi) / 2;
        const uint32_t entry = span->first + mid * entry_size;
        const int order = image.compare_name(name, image.u16(entry));
        if (order == 0) return entry;
        if (order < 0) {
            hi = mid;
        } else {
            lo = mid + 1;
        }
    }
    return std::nullopt;
}
