#pragma once
// A loaded skin: the file image with its directory of top-level elements, the typed property
// lookups that run directly on that image, the pictures, fonts and strings it names, the language
// table that visible texts pass through, and the listeners told when the skin is (re)applied.
//
// Skin files come from outside the program. Loading checks the shape of the element tree (every
// record inside the file, no loops, a bounded size and depth) and refuses a file that fails; the
// lookups check every offset they follow and return the caller's default for anything outside the
// file or the pools.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "skin/color.h"
#include "skin/display_info.h"
#include "skin/font_rep.h"
#include "skin/geometry.h"
#include "skin/picture_ref.h"
#include "skin/skin_format.h"

// An element record of the loaded skin, by its offset in the file image.
struct SkinElement {
    uint32_t offset = 0;
    friend bool operator==(const SkinElement&, const SkinElement&) = default;
};

class Properties;

class ReloadListener {
public:
    virtual ~ReloadListener() = default;
    virtual void on_reload_skin(Properties& properties) = 0;
};

class PropertiesImpl;

class Properties {
public:
    using LanguageTable = std::map<std::u16string, std::u16string>;

    Properties();
    ~Properties();
    Properties(const Properties&) = delete;
    Properties& operator=(const Properties&) = delete;

    // Loads the skin at `path` (path macros expanded). On failure the skin loaded before stays.
    bool load_skin(std::u16string_view path, const DisplayInfo& display);
    // Loads from bytes already in memory; pictures are looked up beside `path`.
    bool load_skin_bytes(std::vector<uint8_t> bytes, std::u16string_view path, const DisplayInfo& display);
    bool is_loaded() const;
    // 1 on screens of 192 dpi and more: stored points are doubled and pictures drawn pixel-doubled.
    int32_t hi_res() const;

    std::optional<SkinElement> find_element(std::u16string_view id) const;

    int32_t get_int(SkinElement element, std::u16string_view name, int32_t fallback) const;
    Point get_point(SkinElement element, std::u16string_view name, Point fallback) const;
    Color get_color(SkinElement element, std::u16string_view name, Color fallback) const;
    std::u16string get_string(SkinElement element, std::u16string_view name, std::u16string_view fallback) const;
    std::shared_ptr<FontRep> get_font(SkinElement element, std::u16string_view name,
                                      std::shared_ptr<FontRep> fallback) const;
    PictureRef get_picture(SkinElement element, std::u16string_view name, PictureRef fallback) const;

    // The element's children in display order; a child offset outside the file is none.
    uint32_t child_count(SkinElement element) const;
    std::optional<SkinElement> child(SkinElement element, uint32_t index) const;

    // For inspection tools: the top-level ids in name order, and an element's property names per table.
    std::vector<std::pair<std::u16string, SkinElement>> top_level_elements() const;
    std::vector<std::u16string> property_names(SkinElement element, skin_format::Table table) const;
    const std::vector<std::u16string>& picture_names() const;

    // The language-table value when `text` is one of its keys, else `text` itself.
    std::u16string translate(std::u16string_view text) const;
    void set_language_table(LanguageTable table);
    const LanguageTable& language_table() const { return m_language; }

    void add_reload_listener(ReloadListener* listener);
    void remove_reload_listener(ReloadListener* listener);
    void send_reload_skin();

private:
    std::unique_ptr<PropertiesImpl> m_impl;
    LanguageTable m_language;
    std::vector<ReloadListener*> m_listeners;
};
