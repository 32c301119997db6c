// The shipped skins against what the screens look up, laid out at the phone and desktop sizes the
// program runs on: every node is there, every control lies on the screen, no two controls share a
// place unless one replaces the other, touch targets keep their size, and texts are not cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "lang/key_value_file.h"
#include "os/text.h"
#include "screens/skin_lookups.h"
#include "skin/skin_exceptions.h"
#include "tests/skin/skin_data_support.h"

namespace {
using skin_lookups::BoundElement;
using skin_lookups::SkinFile;

struct Case {
    DisplayInfo display;
    std::string name;
    int32_t hi_res() const { return display.dpi_y >= 192 ? 1 : 0; }
    int32_t logical(int32_t pixels) const { return pixels << hi_res(); }
};

std::vector<Case> cases() {
    std::vector<Case> out;
    for (auto [w, h] : {std::pair{480, 800}, {720, 1440}, {1080, 2340}}) {
        for (int dpi : {96, 192}) {
            for (bool landscape : {false, true}) {
                const int width = landscape ? h : w, height = landscape ? w : h;
                out.push_back({DisplayInfo{width, height, dpi, landscape ? 1 : 0},
                               std::to_string(width) + "x" + std::to_string(height) + "@" + std::to_string(dpi)});
            }
        }
    }
    return out;
}

bool is_screen(std::u16string_view element) {
    return std::ranges::find(skin_lookups::screens, element) != std::end(skin_lookups::screens);
}

bool listed(std::span<const std::u16string_view> ids, std::u16string_view id) {
    return std::ranges::find(ids, id) != ids.end();
}

bool is_control(std::u16string_view id) {
    return id.starts_with(u"btn") || id.starts_with(u"button") || id == u"list" || id == u"vlist";
}

Rect rect_of(const Widget& widget) {
    return {widget.position().x, widget.position().y, widget.position().x + widget.size().width,
            widget.position().y + widget.size().height};
}

bool inside(const Rect& inner, const Rect& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

bool overlap(const Rect& a, const Rect& b) {
    return std::max(a.left, b.left) < std::min(a.right, b.right) &&
           std::max(a.top, b.top) < std::min(a.bottom, b.bottom);
}

void for_each_widget(Widget& root, const std::function<void(Widget&)>& visit) {
    visit(root);
    for (const auto& child : root.children()) for_each_widget(*child, visit);
}

std::string where(const Case& c, std::u16string_view element, std::u16string_view id) {
    return c.name + " " + os::to_utf8(std::u16string(element)) + "/" + os::to_utf8(std::u16string(id));
}

// Widest texts the screens put into their value fields (duration, size and format texts).
const std::pair<std::u16string_view, std::u16string_view> kWidestValues[] = {{u"frmElapsed", u"9:59:59"},
                                                                             {u"frmLeft", u"9:59:59"},
                                                                             {u"frmSize", u"999.9M"},
                                                                             {u"frmInfo", u"44kHz 16bit 128kbps"}};

// Texts and labels in a laid-out tree: a line fits in height, labels and value texts in width.
void check_texts(Widget& root, const Rect& bounds, const Case& c, std::u16string_view element) {
    for_each_widget(root, [&](Widget& widget) {
        if (!widget.is_effective_visible()) return;
        const std::optional<int32_t> line = skin_data::text_line_height(widget);
        if (line) {
            const Rect r = rect_of(widget);
            EXPECT_GE(r.height(), *line) << where(c, element, widget.id()) << " cuts its line";
            EXPECT_TRUE(inside(r, bounds)) << where(c, element, widget.id()) << " leaves its screen";
        }
        for (auto [id, sample] : kWidestValues) {
            if (widget.id() != id || !line) continue;
            EXPECT_LE(*skin_data::text_width(widget, sample), widget.size().width)
                << where(c, element, id) << " cannot show " << os::to_utf8(std::u16string(sample));
        }
        // Whatever a text shows (a label, a title, a button's text) fits its box: one line in its
        // width, wrapped lines in its height.
        const std::optional<std::u16string> shown = skin_data::own_text(widget);
        if (!shown || shown->empty()) return;
        EXPECT_LE(*skin_data::text_height_needed(widget), widget.size().height)
            << where(c, element, widget.id()) << " cannot hold \"" << os::to_utf8(*shown) << "\"";
        if (*skin_data::text_height_needed(widget) == *line) {
            EXPECT_LE(*skin_data::text_width(widget, *shown), widget.size().width)
                << where(c, element, widget.id()) << " cuts \"" << os::to_utf8(*shown) << "\"";
        }
    });
}

// The looked-up controls of a laid-out screen: on the screen, big enough, not on top of each other.
void check_controls(Widget& screen, const BoundElement& lookups, const Case& c, int32_t min_target,
                    bool list_may_close = false) {
    const Rect bounds{0, 0, c.display.width, c.display.height};
    std::vector<std::pair<std::u16string_view, Rect>> shown;
    for (std::u16string_view id : lookups.children) {
        Widget* widget = screen.find_child(id);
        ASSERT_NE(widget, nullptr) << where(c, lookups.element, id);
        if (!widget->is_effective_visible() || listed(lookups.values, id)) continue;
        const Rect r = rect_of(*widget);
        if (r.empty() && list_may_close && id == u"list") continue;
        EXPECT_FALSE(r.empty()) << where(c, lookups.element, id) << " has no room";
        EXPECT_TRUE(inside(r, bounds)) << where(c, lookups.element, id) << " leaves the screen";
        if (!is_control(id)) continue;
        if (listed(lookups.sliders, id)) {
            EXPECT_GE(r.height(), c.logical(32)) << where(c, lookups.element, id);
            EXPECT_GE(r.width(), c.logical(144)) << where(c, lookups.element, id);
        } else if (id != u"list" && id != u"vlist") {
            EXPECT_GE(std::min(r.width(), r.height()), c.logical(min_target))
                << where(c, lookups.element, id) << " is " << r.width() << "x" << r.height();
        }
        for (const auto& [other, other_rect] : shown) {
            EXPECT_FALSE(overlap(r, other_rect))
                << where(c, lookups.element, id) << " lies over " << os::to_utf8(std::u16string(other));
        }
        shown.emplace_back(id, r);
    }
}

TEST(ShippedSkins, EveryLookupSucceedsAndEveryScreenHolds) {
    for (const Case& c : cases()) {
        Properties splash, main_skin;
        ASSERT_TRUE(skin_data::load_installed(splash, SkinFile::Splash, c.display)) << c.name;
        ASSERT_TRUE(skin_data::load_installed(main_skin, SkinFile::Default, c.display)) << c.name;
        for (const BoundElement& lookups : skin_lookups::bound_elements) {
            const Properties& properties = lookups.skin == SkinFile::Splash ? splash : main_skin;
            std::unique_ptr<Widget> screen;
            try {
                screen = skin_data::bind_as_screen(properties, lookups);
            } catch (const SkinException& e) {
                ADD_FAILURE() << where(c, lookups.element, u"") << ": " << e.what();
                continue;
            }
            if (is_screen(lookups.element)) {
                screen->set_x(0, c.display.width);
                screen->set_y(0, c.display.height);
                check_controls(*screen, lookups, c, 48);
                check_texts(*screen, {0, 0, c.display.width, c.display.height}, c, lookups.element);
            } else {
                // A row template: laid out across the screen at its own height.
                const int32_t height = screen->measure_height().preferred;
                EXPECT_GE(height, c.logical(48)) << where(c, lookups.element, u"") << " is too low to tap";
                screen->set_x(0, c.display.width);
                screen->set_y(0, height);
                for (std::u16string_view id : lookups.children) {
                    const Rect r = rect_of(*screen->find_child(id));
                    EXPECT_TRUE(inside(r, {0, 0, c.display.width, height})) << where(c, lookups.element, id);
                }
                check_texts(*screen, {0, 0, c.display.width, height}, c, lookups.element);
            }
        }
        for (const auto& value : skin_lookups::value_elements) {
            const std::optional<SkinElement> element = main_skin.find_element(value.element);
            ASSERT_TRUE(element) << os::to_utf8(std::u16string(value.element));
            const auto table = value.kind == skin_lookups::ValueElement::Kind::Picture ? skin_format::Table::Picture
                                                                                       : skin_format::Table::Color;
            const auto names = main_skin.property_names(*element, table);
            EXPECT_NE(std::ranges::find(names, value.property), names.end())
                << os::to_utf8(std::u16string(value.element)) << " lacks "
                << os::to_utf8(std::u16string(value.property));
        }
    }
}

// With the search open the keyboard takes room from the list; on a landscape phone it is the one
// state where the keys give up some height, never their place.
TEST(ShippedSkins, MainScreenHoldsWithTheSearchKeyboardOpen) {
    const BoundElement& main_lookups = skin_lookups::bound_elements[1];
    ASSERT_EQ(main_lookups.element, u"FormMain");
    for (const Case& c : cases()) {
        Properties properties;
        ASSERT_TRUE(skin_data::load_installed(properties, SkinFile::Default, c.display));
        auto screen = skin_data::bind_as_screen(properties, main_lookups);
        screen->find_child(u"KeyboardContainer")->set_visible(true);
        screen->find_child(u"btnCloseFilter")->set_visible(true);
        screen->find_child(u"btnFilter")->set_visible(false);
        screen->set_x(0, c.display.width);
        screen->set_y(0, c.display.height);
        // Below 320 logical pixels of height (a landscape phone at high dpi) the keys need it all.
        const bool short_screen = (c.display.height >> c.hi_res()) < 320;
        check_controls(*screen, main_lookups, c, 36, short_screen);
        check_texts(*screen, {0, 0, c.display.width, c.display.height}, c, main_lookups.element);
        if (!short_screen) {
            EXPECT_GT(screen->find_child(u"list")->size().height, 0) << c.name << ": the list is gone";
        }
    }
}

std::u16string replace_all(std::u16string text, std::u16string_view from, std::u16string_view to) {
    for (size_t at = text.find(from); at != std::u16string::npos; at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

std::u16string longest(const Properties& properties, std::initializer_list<std::u16string_view> keys) {
    std::u16string result;
    for (std::u16string_view key : keys) {
        std::u16string text = properties.translate(key);
        if (text.size() > result.size()) result = std::move(text);
    }
    return result;
}

// Every shipped language's texts fit where the skin shows them: labels, titles, the menu items and
// the messages of the dialogs. English everywhere; the longer words of the other languages from
// 360 logical pixels wide (today's phones) on, while the narrowest screens may end them in "...".
TEST(ShippedSkins, EveryShippedLanguageFits) {
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(QUILLON_BIN_DIR)) {
        if (entry.path().extension() == ".lng") files.push_back(entry.path());
    }
    ASSERT_GE(files.size(), 3u);
    const std::u16string_view menu_items[] = {
        u"AutoRecord", u"Speaker",     u"Format", u"Boost",   u"QuickRecord", u"Language",  u"File",    u"Settings",
        u"Cancel",     u"DeleteFiles", u"Move",   u"Refresh", u"Mp3Low",      u"Mp3Middle", u"Mp3High", u"BoostOff",
        u"Boost1",     u"Boost2",      u"Boost3", u"Delete",  u"Append",      u"Send",      u"Confirm"};
    for (const auto& file : files) {
        const lang::KeyValueFile language = lang::read_key_value_file(os::from_utf8(file.string()));
        ASSERT_TRUE(language.opened) << file;
        for (const Case& c : cases()) {
            // The other languages on the narrowest such phone, upright and on its side.
            if (file.stem() != "english" && !(c.hi_res() && (c.display.width == 720 || c.display.height == 720))) {
                continue;
            }
            Case named = c;
            named.name = file.stem().string() + " " + c.name;
            Properties properties;
            ASSERT_TRUE(skin_data::load_installed(properties, SkinFile::Default, c.display));
            properties.set_language_table(language.entries);
            for (const BoundElement& lookups : skin_lookups::bound_elements) {
                if (lookups.skin != SkinFile::Default) continue;
                auto screen = skin_data::bind_as_screen(properties, lookups);
                const bool whole_screen = is_screen(lookups.element);
                const int32_t height = whole_screen ? c.display.height : screen->measure_height().preferred;
                screen->set_x(0, c.display.width);
                screen->set_y(0, height);
                std::u16string message;
                if (lookups.element == u"FormConfirmation") {
                    message = replace_all(properties.translate(u"Confirm_deleting"), u"%count%", u"9999");
                } else if (lookups.element == u"FormQuestion") {
                    message = replace_all(properties.translate(u"Confirm_taking_key"), u"%key%", u"Super+Alt+R");
                    message = replace_all(message, u"%shortcut%", u"Screenshot of the desktop");
                } else if (lookups.element == u"FormError") {
                    message =
                        longest(properties, {u"Sorry_card_problem", u"Sorry_no_memory", u"Sorry_too_slow_device"});
                } else if (lookups.element == u"Menu") {
                    message =
                        longest(properties, {u"MainMenu", u"File", u"Settings", u"Format", u"Boost", u"Language"});
                    skin_data::set_sample_text(*screen->find_child(u"caption"), message);
                } else if (lookups.element.starts_with(u"MenuElement") && lookups.element != u"MenuElement4Buttons") {
                    // Menu items wrap to a second line rather than lose their end.
                    Widget& row_text = *screen->find_child(u"#text");
                    for (std::u16string_view item : menu_items) {
                        skin_data::set_sample_text(row_text, properties.translate(item));
                        EXPECT_LE(*skin_data::text_height_needed(row_text), row_text.size().height)
                            << named.name << " " << os::to_utf8(std::u16string(lookups.element)) << " cuts "
                            << os::to_utf8(properties.translate(item));
                    }
                    skin_data::set_sample_text(row_text, u"");
                }
                if (!message.empty() && lookups.element != u"Menu") {
                    skin_data::set_sample_text(*screen->find_child(u"text"), message);
                }
                check_texts(*screen, {0, 0, c.display.width, height}, named, lookups.element);
            }
        }
    }
}

TEST(ShippedSkins, AMissingNodeIsReported) {
    Properties properties;
    ASSERT_TRUE(skin_data::load_installed(properties, SkinFile::Splash, DisplayInfo{}));
    // The splash skin holds no main screen: binding it fails as a screen's start would.
    EXPECT_THROW(skin_data::bind_as_screen(properties, skin_lookups::bound_elements[1]), NodeNotFoundInSkin);
    const std::u16string_view missing[] = {u"btnNoSuchButton"};
    EXPECT_THROW(skin_data::bind_as_screen(properties, {SkinFile::Splash, u"FormSplash", missing}), NodeNotFound);
}

}  // namespace
