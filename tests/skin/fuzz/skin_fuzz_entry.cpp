#include "tests/skin/fuzz/skin_fuzz_entry.h"

#include <vector>

#include "skin/bitmap.h"
#include "skin/properties.h"
#include "skin/skin_dump.h"
#include "tests/skin/fuzz/skin_fuzz_widgets.h"

namespace {
void visit(const Properties& properties, SkinElement element, int depth, int& budget) {
    if (depth > 64 || --budget < 0) return;
    for (int table = 0; table < skin_format::kTableCount; ++table) {
        for (const std::u16string& name : properties.property_names(element, static_cast<skin_format::Table>(table))) {
            properties.get_int(element, name, 0);
            properties.get_point(element, name, {});
            properties.get_color(element, name, {});
            properties.get_string(element, name, u"");
            properties.get_font(element, name, nullptr);
            properties.get_picture(element, name, {});
        }
    }
    for (const char16_t* name : {u"id", u"type", u"", u"zzzz"}) properties.get_string(element, name, u"");
    const uint32_t count = properties.child_count(element);
    for (uint32_t i = 0; i < count && i < 64; ++i) {
        if (auto child = properties.child(element, i)) visit(properties, *child, depth + 1, budget);
    }
}
}  // namespace

int skin_fuzz_one(const uint8_t* data, size_t size) {
    std::vector<uint8_t> bytes(data, data + size);
    Properties properties;
    if (properties.load_skin_bytes(bytes, u"/nonexistent/fuzz.skin", DisplayInfo{240, 320, size % 2 ? 192 : 96, 0})) {
        int budget = 2000;
        for (const auto& [id, element] : properties.top_level_elements()) {
            // A directory that is not sorted may not find its own ids; it must still end.
            properties.find_element(id);
            visit(properties, element, 0, budget);
        }
        // Every element it loads is laid out and drawn as a screen would be.
        int screens = 32;
        for (const auto& [id, element] : properties.top_level_elements()) {
            if (--screens < 0) break;
            lay_out_and_draw(properties, id, 240, 320);
        }
    }
    dump_skin(bytes);
    load_565_bytes(data, size);
    return 0;
}
