// The pictures and colours of the shipped skins, read back from the compiled skins: each picture's
// pixels suit the way its images draw it, every control has its pressed and disabled looks, and every
// text colour keeps WCAG AA contrast (4.5:1) against each background it can be drawn on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "os/text.h"
#include "screens/skin_lookups.h"
#include "skin/color.h"
#include "tests/skin/skin_data_support.h"

namespace {
using skin_data::ElementInTree;
using skin_lookups::SkinFile;

std::string name_of(const ElementInTree& e) {
    return os::to_utf8(e.top_level) + "/" + (e.id.empty() ? "(" + os::to_utf8(e.type) + ")" : os::to_utf8(e.id));
}

struct Channels {
    int red, green, blue;
};
Channels channels(Pixel p) { return {p >> 11, (p >> 5) & 0x3F, p & 0x1F}; }

// The most a half-transparent pixel may store per channel, so that the share of the destination
// that the blitter of each level adds cannot overflow (level 1 adds a quarter, 2 a half, 3 three quarters).
Channels half_limit(int level) {
    switch (level) {
        case 1:
            return {31 - 7, 63 - 15, 31 - 7};
        case 2:
            return {31 - 15, 63 - 31, 31 - 15};
        default:
            return {31 - 22, 63 - 46, 31 - 22};
    }
}

// The blitter level an image's "alpha" selects: -1 the opaque copy, else 0 (key only) to 4.
int level_of(int32_t alpha) { return alpha == -1 ? -1 : std::clamp(alpha / 64, 0, 4); }

struct PictureUse {
    PictureRef picture;
    int32_t alpha;
    std::string where;
};

std::vector<PictureUse> picture_uses(const Properties& properties) {
    std::vector<PictureUse> uses;
    // The row icons are drawn by the list row's "icon" image, with its alpha.
    int32_t icon_alpha = -1;
    if (auto row = properties.find_element(u"Record")) {
        for (uint32_t i = 0; i < properties.child_count(*row); ++i) {
            auto child = properties.child(*row, i);
            if (child && properties.get_string(*child, u"id", u"") == u"icon") {
                icon_alpha = properties.get_int(*child, u"alpha", -1);
            }
        }
    }
    skin_data::walk_skin(properties, [&](const ElementInTree& e) {
        PictureRef picture = properties.get_picture(e.element, u"src", {});
        if (!picture.is_valid()) return;
        const bool row_icon = e.ancestors.empty();
        uses.push_back({picture, row_icon ? icon_alpha : properties.get_int(e.element, u"alpha", -1), name_of(e)});
    });
    return uses;
}

void check_picture(const PictureUse& use) {
    const Bitmap& bitmap = *use.picture.bitmap;
    const Point p0 = use.picture.p0, p1 = use.picture.p1, p2 = use.picture.p2, p3 = use.picture.p3;
    const int level = level_of(use.alpha);
    int keys = 0, halves = 0, overflowing = 0;
    for (int y = p0.y; y < p2.y; ++y) {
        for (int x = p0.x; x < p2.x; ++x) {
            const Pixel p = bitmap.at(x, y);
            if (p == kKeyPixel) {
                ++keys;
            } else if (!(p & kOpaqueBit)) {
                ++halves;
                if (level >= 1 && level <= 3) {
                    const Channels c = channels(p), limit = half_limit(level);
                    if (c.red > limit.red || c.green > limit.green || c.blue > limit.blue) ++overflowing;
                }
            }
        }
    }
    if (level == -1) {
        // The opaque copy shows the key as magenta and half-transparent pixels as dark specks.
        EXPECT_EQ(keys, 0) << use.where << " is drawn opaque but carries key pixels";
        EXPECT_EQ(halves, 0) << use.where << " is drawn opaque but carries half-transparent pixels";
    } else if (level == 0) {
        EXPECT_EQ(halves, 0) << use.where << " draws half-transparent pixels with the key-only blitter";
    }
    EXPECT_EQ(overflowing, 0) << use.where << " has half-transparent pixels that overflow at level " << level;

    // The tiled middle repeats: it must be the same in every column (and row) it repeats, or edges
    // come out beaded; a picture cut on both axes must be solid in its middle.
    const bool sliced_x = p1.x > p0.x || p3.x<p2.x, sliced_y = p1.y> p0.y || p3.y < p2.y;
    if (sliced_x) {
        for (int x = p1.x + 1; x < p3.x; ++x) {
            for (int y = p0.y; y < p2.y; ++y) {
                ASSERT_EQ(bitmap.at(x, y), bitmap.at(p1.x, y)) << use.where << ": tiled column " << x << " differs";
            }
        }
    }
    if (sliced_y) {
        for (int y = p1.y + 1; y < p3.y; ++y) {
            for (int x = p0.x; x < p2.x; ++x) {
                ASSERT_EQ(bitmap.at(x, y), bitmap.at(x, p1.y)) << use.where << ": tiled row " << y << " differs";
            }
        }
    }
    if (sliced_x && sliced_y) {
        for (int y = p1.y; y < p3.y; ++y) {
            for (int x = p1.x; x < p3.x; ++x) {
                ASSERT_TRUE(bitmap.at(x, y) & kOpaqueBit)
                    << use.where << ": a hole in the tiled middle at " << x << "," << y;
            }
        }
    }
}

TEST(ShippedSkinPictures, SuitTheWayTheyAreDrawn) {
    for (SkinFile skin : {SkinFile::Splash, SkinFile::Default}) {
        Properties properties;
        ASSERT_TRUE(skin_data::load_installed(properties, skin, DisplayInfo{}));
        const auto uses = picture_uses(properties);
        EXPECT_FALSE(uses.empty());
        for (const PictureUse& use : uses) check_picture(use);
    }
}

// Every control shows that it is pressed and that it is disabled; every list row that is tapped as
// a whole shows the press; every bar has its filled part.
TEST(ShippedSkinPictures, EveryControlHasItsLooks) {
    Properties properties;
    ASSERT_TRUE(skin_data::load_installed(properties, SkinFile::Default, DisplayInfo{}));
    auto child_ids = [&](SkinElement element) {
        std::vector<std::u16string> ids;
        for (uint32_t i = 0; i < properties.child_count(element); ++i) {
            if (auto child = properties.child(element, i)) ids.push_back(properties.get_string(*child, u"id", u""));
        }
        return ids;
    };
    auto has = [](const std::vector<std::u16string>& ids, std::u16string_view id) {
        return std::ranges::find(ids, id) != ids.end();
    };
    int buttons = 0, bars = 0;
    skin_data::walk_skin(properties, [&](const ElementInTree& e) {
        const auto ids = child_ids(e.element);
        if (e.type == u"button") {
            bool slider = false;
            for (const auto& bound : skin_lookups::bound_elements) {
                slider |= std::ranges::find(bound.sliders, e.id) != bound.sliders.end();
            }
            if (slider) return;
            ++buttons;
            for (std::u16string_view look : {u"#normal", u"#pressed", u"#disabled"}) {
                EXPECT_TRUE(has(ids, look)) << name_of(e) << " lacks " << os::to_utf8(std::u16string(look));
            }
        } else if (e.type == u"progress") {
            ++bars;
            EXPECT_TRUE(has(ids, u"#line")) << name_of(e) << " lacks #line";
        }
    });
    EXPECT_GT(buttons, 20);
    EXPECT_GE(bars, 5);
    for (std::u16string_view row : {u"Record", u"HardwareKey", u"MenuElement", u"MenuElementRed"}) {
        const auto ids = child_ids(*properties.find_element(row));
        EXPECT_TRUE(has(ids, u"#vlist_normal")) << os::to_utf8(std::u16string(row));
        EXPECT_TRUE(has(ids, u"#vlist_pressed")) << os::to_utf8(std::u16string(row));
    }
}

// WCAG relative luminance of the colour the screen shows (after the RGB565 reduction).
double luminance(Pixel p) {
    const Channels c = channels(p);
    auto linear = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(c.red / 31.0) + 0.7152 * linear(c.green / 63.0) + 0.0722 * linear(c.blue / 31.0);
}

double contrast(Pixel a, Pixel b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

bool is_look(const std::u16string& id) {
    return id.starts_with(u"#vlist_") || id == u"#normal" || id == u"#pressed" || id == u"#disabled";
}

// The solid colour in the middle of an image's picture, which its children are drawn on.
std::optional<Pixel> picture_middle(const Properties& properties, SkinElement element, std::string& problem) {
    if (properties.get_string(element, u"type", u"") != u"image") return std::nullopt;
    const PictureRef picture = properties.get_picture(element, u"src", {});
    if (!picture.is_valid()) return std::nullopt;
    const Pixel middle = picture.bitmap->at((picture.p1.x + picture.p3.x) / 2, (picture.p1.y + picture.p3.y) / 2);
    if (!(middle & kOpaqueBit)) problem = "a background picture without a solid middle";
    return static_cast<Pixel>(middle & ~kOpaqueBit);
}

// What an element paints over the whole of its container, if it does: a colour or a picture.
std::optional<Pixel> backdrop_of(const Properties& properties, SkinElement element, std::string& problem) {
    const bool fills = properties.get_string(element, u"anchor_x", u"BOTH_SIDE") == u"BOTH_SIDE" &&
                       properties.get_string(element, u"anchor_y", u"BOTH_SIDE") == u"BOTH_SIDE" &&
                       properties.get_point(element, u"border_min", {}) == Point{} &&
                       properties.get_point(element, u"border_max", {}) == Point{};
    if (!fills) return std::nullopt;
    if (properties.get_string(element, u"type", u"") == u"color") {
        return to_pixel(properties.get_color(element, u"color", Color{0, 0, 0, 255}));
    }
    return picture_middle(properties, element, problem);
}

std::vector<SkinElement> siblings_before(const Properties& properties, SkinElement parent, SkinElement self) {
    std::vector<SkinElement> earlier;
    for (uint32_t i = 0; i < properties.child_count(parent); ++i) {
        auto child = properties.child(parent, i);
        if (!child || *child == self) break;
        earlier.insert(earlier.begin(), *child);
    }
    return earlier;
}

// The backgrounds a text can be drawn on: the nearest earlier sibling that fills its container, or
// the container itself when it is a picture, level by level outwards. When the nearest is a look
// (normal, pressed, disabled, a row's states), every look of that level counts.
std::vector<Pixel> backgrounds_of(const Properties& properties, const ElementInTree& e, std::string& problem) {
    std::vector<SkinElement> earlier = e.before;
    for (size_t up = 0;; ++up) {
        std::vector<Pixel> found;
        bool looks = false;
        for (SkinElement sibling : earlier) {
            const auto colour = backdrop_of(properties, sibling, problem);
            if (!colour) continue;
            const bool look = is_look(properties.get_string(sibling, u"id", u""));
            if (found.empty()) {
                found.push_back(*colour);
                looks = look;
                if (!look) break;
            } else if (look && looks) {
                found.push_back(*colour);
            }
        }
        if (!found.empty() || up == e.ancestors.size()) return found;
        const SkinElement parent = e.ancestors[up];
        if (auto own = picture_middle(properties, parent, problem)) return {*own};
        earlier = up + 1 < e.ancestors.size() ? siblings_before(properties, e.ancestors[up + 1], parent)
                                              : std::vector<SkinElement>{};
        // The looks of a button are alternatives, never layers: a look without a background of
        // its own shows what lies under the button, not another look.
        if (is_look(properties.get_string(parent, u"id", u""))) {
            std::erase_if(earlier,
                          [&](SkinElement sibling) { return is_look(properties.get_string(sibling, u"id", u"")); });
        }
    }
}

TEST(ShippedSkinColours, EveryTextKeepsAaContrast) {
    for (SkinFile skin : {SkinFile::Splash, SkinFile::Default}) {
        Properties properties;
        ASSERT_TRUE(skin_data::load_installed(properties, skin, DisplayInfo{}));
        int texts = 0;
        std::vector<Pixel> row_backgrounds;
        skin_data::walk_skin(properties, [&](const ElementInTree& e) {
            if (e.type != u"text" && e.type != u"oldtext" && e.type != u"edit") return;
            ++texts;
            const Pixel ink = to_pixel(properties.get_color(e.element, u"color", Color{0, 0, 0, 255}));
            std::string problem;
            std::vector<Pixel> backgrounds = backgrounds_of(properties, e, problem);
            if (e.type == u"edit") {
                backgrounds = {to_pixel(properties.get_color(e.element, u"background_color", Color{0, 0, 0, 255}))};
            }
            EXPECT_TRUE(problem.empty()) << name_of(e) << ": " << problem;
            ASSERT_FALSE(backgrounds.empty()) << name_of(e) << " is drawn on nothing the skin fills";
            for (Pixel background : backgrounds) {
                EXPECT_GE(contrast(ink, background), 4.5)
                    << name_of(e) << " ink " << std::hex << ink << " on " << background << std::dec;
            }
            if (e.top_level == u"Record" && e.id == u"name") row_backgrounds = backgrounds;
        });
        EXPECT_GT(texts, skin == SkinFile::Splash ? 0 : 40);
        if (skin == SkinFile::Default) {
            // The matched run of a search is drawn in the row's texts on the row's backgrounds.
            ASSERT_FALSE(row_backgrounds.empty());
            auto element = properties.find_element(u"filtered_color");
            ASSERT_TRUE(element);
            const Pixel match = to_pixel(properties.get_color(*element, u"color", Color{0, 0, 0, 255}));
            for (Pixel background : row_backgrounds) EXPECT_GE(contrast(match, background), 4.5);
        }
    }
}

}  // namespace
