#include "skin/properties.h"

#include <algorithm>
#include <cstdio>
#include <new>

#include "os/event.h"
#include "os/file.h"
#include "os/log.h"
#include "os/path.h"
#include "os/stopwatch.h"
#include "os/text.h"
#include "skin/properties_impl.h"

using namespace skin_format;

namespace {
constexpr uint32_t kNone = 0xFFFFFFFF;

// Reads the whole file; a short read is logged and loading goes on with what arrived.
std::vector<uint8_t> read_skin_file(const std::u16string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* file = os::open_data_file(path);
    if (!file) {
        os::log() << u"Error: skin [" << path << u"] failed to load\n";
        return bytes;
    }
    long size = -1;
    if (std::fseek(file, 0, SEEK_END) == 0) size = std::ftell(file);
    std::fseek(file, 0, SEEK_SET);
    if (size < 0 || size > static_cast<long>(kMaxSkinFileSize)) size = 0;
    bytes.resize(static_cast<size_t>(size));
    const size_t got = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (got < bytes.size() || size == 0) {
        os::log() << u"Error: skin [" << path << u"] failed to load\n";
        bytes.resize(got);
    }
    return bytes;
}
}  // namespace

Properties::Properties() = default;
Properties::~Properties() = default;

bool Properties::load_skin(std::u16string_view path, const DisplayInfo& display) {
    const std::u16string expanded = os::expand_path(path);
    os::log() << u"Properties::load_skin 1\n";
    return load_skin_bytes(read_skin_file(expanded), expanded, display);
}

bool Properties::load_skin_bytes(std::vector<uint8_t> bytes, std::u16string_view path, const DisplayInfo& display) {
    std::unique_ptr<PropertiesImpl> impl;
    try {
        impl = std::make_unique<PropertiesImpl>(std::move(bytes), path, display);
    } catch (const std::bad_alloc&) {
        // Pictures, fonts and tables too large for the memory left: the skin loaded before stays.
        os::log() << u"Error: skin [" << path << u"] failed to load: no memory\n";
        return false;
    }
    os::log() << u"Properties::load_skin 2\n";
    if (!impl->is_valid()) return false;
    os::log() << u"Properties::load_skin 3\n";
    m_impl.swap(impl);
    return true;
}

bool Properties::is_loaded() const { return m_impl != nullptr; }
int32_t Properties::hi_res() const { return m_impl ? m_impl->hi_res : 0; }

std::optional<SkinElement> Properties::find_element(std::u16string_view id) const {
    if (!m_impl) return std::nullopt;
    const SkinImage& image = m_impl->image;
    uint32_t entry = m_impl->root;
    // Loading made sure the directory has no loops; the step limit is a second guard.
    for (uint32_t steps = 0; entry != kNone && steps <= kMaxSkinElements; ++steps) {
        if (!image.contains(entry, kEntryRecord)) return std::nullopt;
        const int order = image.compare_name(id, image.u32(entry + kEntryName));
        if (order == 0) return SkinElement{entry + kEntryRecord};
        entry = image.u32(entry + (order < 0 ? kEntryLeft : kEntryRight));
    }
    return std::nullopt;
}

int32_t Properties::get_int(SkinElement element, std::u16string_view name, int32_t fallback) const {
    if (!m_impl) return fallback;
    const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::Integer), name);
    return entry ? m_impl->image.i32(*entry + 4) : fallback;
}

Point Properties::get_point(SkinElement element, std::u16string_view name, Point fallback) const {
    if (!m_impl) return fallback;
    const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::Point), name);
    if (!entry) return fallback;
    const int32_t x = m_impl->image.i16(*entry + 4);
    const int32_t y = m_impl->image.i16(*entry + 6);
    return {x * (1 << m_impl->hi_res), y * (1 << m_impl->hi_res)};
}

Color Properties::get_color(SkinElement element, std::u16string_view name, Color fallback) const {
    if (!m_impl) return fallback;
    const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::Color), name);
    if (!entry) return fallback;
    const SkinImage& image = m_impl->image;
    return {image.u8(*entry + 4), image.u8(*entry + 5), image.u8(*entry + 6), 255};
}

std::u16string Properties::get_string(SkinElement element, std::u16string_view name,
                                      std::u16string_view fallback) const {
    if (m_impl) {
        const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::String), name);
        if (entry) {
            const uint32_t index = m_impl->image.u16(*entry + 2);
            if (index < m_impl->strings.size()) return m_impl->strings[index];
        }
    }
    return std::u16string(fallback);
}

std::shared_ptr<FontRep> Properties::get_font(SkinElement element, std::u16string_view name,
                                              std::shared_ptr<FontRep> fallback) const {
    if (!m_impl) return fallback;
    const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::Font), name);
    if (!entry) return fallback;
    const uint32_t index = m_impl->image.u32(*entry + 4);
    return index < m_impl->fonts.size() ? m_impl->fonts[index] : fallback;
}

PictureRef Properties::get_picture(SkinElement element, std::u16string_view name, PictureRef fallback) const {
    if (!m_impl) return fallback;
    const auto entry = m_impl->find_entry(element.offset, static_cast<int>(Table::Picture), name);
    if (!entry) return fallback;
    const SkinImage& image = m_impl->image;
    const uint32_t index = image.u8(*entry + 18);
    if (index >= m_impl->pictures.size()) return fallback;
    const int32_t shift = m_impl->hi_res;
    auto point = [&](uint32_t at) {
        return Point{static_cast<int32_t>(image.u16(at)) << shift, static_cast<int32_t>(image.u16(at + 2)) << shift};
    };
    PictureRef picture;
    picture.p0 = point(*entry + 2);
    picture.p1 = point(*entry + 6);
    picture.p2 = point(*entry + 10);
    picture.p3 = point(*entry + 14);
    picture.bitmap = m_impl->pictures[index].bitmap;
    picture.scale_shift = shift;
    picture.flag = image.u8(*entry + 19) != 0;
    return picture;
}

uint32_t Properties::child_count(SkinElement element) const {
    if (!m_impl || !m_impl->image.contains(element.offset, kRecordChildren)) return 0;
    return m_impl->image.u16(element.offset + kRecordChildCount);
}

std::optional<SkinElement> Properties::child(SkinElement element, uint32_t index) const {
    if (index >= child_count(element)) return std::nullopt;
    const SkinImage& image = m_impl->image;
    const uint32_t at = element.offset + kRecordChildren + 4 * index;
    if (!image.contains(at, 4)) return std::nullopt;
    const uint32_t record = image.u32(at);
    if (!image.contains(record, kRecordChildren)) return std::nullopt;
    return SkinElement{record};
}

std::vector<std::pair<std::u16string, SkinElement>> Properties::top_level_elements() const {
    std::vector<std::pair<std::u16string, SkinElement>> result;
    if (!m_impl) return result;
    const SkinImage& image = m_impl->image;
    // In-order walk; loading refused directories with loops.
    std::vector<uint32_t> stack;
    uint32_t entry = m_impl->root;
    while ((entry != kNone || !stack.empty()) && result.size() <= kMaxSkinElements) {
        while (entry != kNone && image.contains(entry, kEntryRecord) && stack.size() <= kMaxSkinElements) {
            stack.push_back(entry);
            entry = image.u32(entry + kEntryLeft);
        }
        if (stack.empty()) break;
        entry = stack.back();
        stack.pop_back();
        result.emplace_back(image.text(image.u32(entry + kEntryName)), SkinElement{entry + kEntryRecord});
        entry = image.u32(entry + kEntryRight);
    }
    return result;
}

std::vector<std::u16string> Properties::property_names(SkinElement element, Table table) const {
    std::vector<std::u16string> names;
    if (!m_impl) return names;
    const auto span = m_impl->table(element.offset, static_cast<int>(table));
    if (!span) return names;
    for (uint32_t i = 0; i < span->count; ++i) {
        names.push_back(m_impl->image.text(m_impl->image.u16(span->first + i * kEntrySize[static_cast<int>(table)])));
    }
    return names;
}

const std::vector<std::u16string>& Properties::picture_names() const {
    static const std::vector<std::u16string> none;
    return m_impl ? m_impl->picture_names : none;
}

std::u16string Properties::translate(std::u16string_view text) const {
    const auto found = m_language.find(std::u16string(text));
    return found == m_language.end() ? std::u16string(text) : found->second;
}

void Properties::set_language_table(LanguageTable table) { m_language = std::move(table); }

void Properties::add_reload_listener(ReloadListener* listener) {
    if (std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end()) {
        m_listeners.push_back(listener);
    }
}

void Properties::remove_reload_listener(ReloadListener* listener) {
    m_listeners.erase(std::remove(m_listeners.begin(), m_listeners.end(), listener), m_listeners.end());
}

void Properties::send_reload_skin() {
    Stopwatch stopwatch;
    // A listener may remove itself while being told; iterate over a copy.
    const std::vector<ReloadListener*> listeners = m_listeners;
    for (ReloadListener* listener : listeners) listener->on_reload_skin(*this);
    os::log() << u"PropertiesImpl::send_reload_skin the rest time=" << stopwatch.elapsed() << u"\n";
}
