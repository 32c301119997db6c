#pragma once
// The content of one loaded skin. Built whole from a file, then swapped into a Properties, so a
// failed load never leaves a half-loaded skin behind.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "skin/display_info.h"
#include "skin/font_rep.h"
#include "skin/picture_ref.h"
#include "skin/skin_image.h"

class PropertiesImpl {
public:
    // With `load_resources` false the pictures and fonts are only named, not loaded: tools use that
    // to inspect a skin whose pictures are not at hand.
    PropertiesImpl(std::vector<uint8_t> bytes, std::u16string_view path, const DisplayInfo& display,
                   bool load_resources = true);

    // True once every step of loading succeeded (the header is then in use).
    bool is_valid() const { return m_valid; }

    // Where the table of kind `table` lies in the record at `record`, or none when its boundaries
    // are out of order or run past the end of the file.
    struct TableSpan {
        uint32_t first = 0;
        uint32_t count = 0;
    };
    std::optional<TableSpan> table(uint32_t record, int table) const;
    // The entry named `name` in the table, by binary search, or none.
    std::optional<uint32_t> find_entry(uint32_t record, int table, std::u16string_view name) const;

    SkinImage image;
    int32_t hi_res = 0;
    uint32_t root = 0xFFFFFFFF;
    std::vector<PictureRef> pictures;
    std::vector<std::u16string> picture_names;
    std::vector<std::shared_ptr<FontRep>> fonts;
    std::vector<std::u16string> font_descriptions;
    std::vector<std::u16string> strings;

private:
    bool read_pool(uint32_t picture_count, uint32_t font_count, uint32_t string_count,
                   std::vector<std::u16string>& pool) const;
    bool check_tree() const;

    bool m_valid = false;
};

// Limits on the element tree a skin may describe; a file beyond them is refused at load.
constexpr uint32_t kMaxSkinElements = 200000;
constexpr uint32_t kMaxSkinDepth = 200;
constexpr uint32_t kMaxSkinFileSize = 64 * 1024 * 1024;
