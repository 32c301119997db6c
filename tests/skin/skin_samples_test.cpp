// Every screen of the shipped skins drawn with the content a user sees (rows in the lists, times,
// sizes, a level on the meter): each control the screens look up draws something where it lies.
// With QUILLON_SKIN_SAMPLES set to a folder, the frames are also written there as PNG files, one
// per screen and size, for looking at a skin while designing it.
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>

#include "os/text.h"
#include "screens/skin_lookups.h"
#include "skin/blitter.h"
#include "skin/png_writer.h"
#include "skin/render_surface.h"
#include "tests/skin/skin_data_support.h"

namespace {
using skin_lookups::BoundElement;
using skin_lookups::SkinFile;

const BoundElement& lookups_of(std::u16string_view element) {
    for (const BoundElement& bound : skin_lookups::bound_elements) {
        if (bound.element == element) return bound;
    }
    throw std::runtime_error("no lookups");
}

void text(Widget& screen, std::u16string_view id, std::u16string_view value) {
    if (Widget* widget = screen.find_child(id)) {
        if (!skin_data::set_sample_text(*widget, value)) widget->set_text(value);
    }
}

void value(Widget& screen, std::u16string_view id, double v) {
    if (Widget* widget = screen.find_child(id)) skin_data::set_sample_value(*widget, v);
}

// Rows stacked in a list from its top, as many as fit (or all of them for a list that grows).
void fill_list(const Properties& properties, Widget& list, const std::vector<std::u16string>& templates,
               const std::function<void(Widget&, size_t)>& content, bool grows) {
    int32_t y = 0;
    for (size_t i = 0; i < templates.size(); ++i) {
        auto row = skin_data::bind_as_screen(properties, lookups_of(templates[i]));
        const int32_t height = row->measure_height().preferred;
        if (!grows && y + height > list.size().height) break;
        row->set_anchors(AnchorType::BothSide, AnchorType::MinSide);
        row->set_borders({0, y}, {0, 0});
        // The second row shows the pressed look, the others the normal one.
        for (const char16_t* look : {u"#vlist_pressed", u"#vlist_selected"}) {
            if (Widget* state = row->find_child(look))
                state->set_visible(i == 1 && look == std::u16string_view(u"#vlist_pressed"));
        }
        if (Widget* normal = row->find_child(u"#vlist_normal")) normal->set_visible(i != 1);
        content(*row, i);
        list.add_child(std::move(row));
        y += height;
    }
}

void lay_out(Widget& screen, const DisplayInfo& display) {
    screen.set_x(0, display.width);
    screen.set_y(0, display.height);
}

std::unique_ptr<Widget> sample_screen(const Properties& properties, std::u16string_view element,
                                      const DisplayInfo& display, bool search = false, bool empty = false) {
    auto screen = skin_data::bind_as_screen(properties, lookups_of(element));
    if (search) {
        screen->find_child(u"KeyboardContainer")->set_visible(true);
        screen->find_child(u"btnCloseFilter")->set_visible(true);
        screen->find_child(u"btnFilter")->set_visible(false);
    }
    if (element == u"FormMain") {
        // The optional parts as the main screen shows them: the typed keys in place of the title
        // while searching, the empty list's line only without rows.
        if (Widget* title = screen->find_child(u"title")) title->set_visible(!search);
        if (Widget* typed = screen->find_child(u"search_display")) typed->set_visible(search);
        text(*screen, u"search_keys", u"72");
        text(*screen, u"search_letters", u"PQRS ABC");
        if (Widget* line = screen->find_child(u"empty_list")) {
            line->set_visible(empty);
            line->set_text(u"No recordings yet \u2014 tap the red button");
        }
    }
    lay_out(*screen, display);
    const std::u16string icons[] = {u"main_memory", u"main_memory_incoming", u"card_outgoing",
                                    u"card",        u"card_incoming",        u"main_memory_outgoing"};
    auto icon = [&](Widget& target, size_t i) {
        if (Widget* widget = target.find_child(u"icon")) {
            skin_data::set_sample_picture(*widget,
                                          properties.get_picture(*properties.find_element(icons[i % 6]), u"src", {}));
        }
    };
    text(*screen, u"frmArtist", u"Anna Petrova");
    text(*screen, u"btnName", u"2026-12-08 14:32");
    text(*screen, u"frmInfo", u"44kHz 16bit 64kbps");
    text(*screen, u"frmSize", u"1.2M");
    if (element == u"FormMain") {
        const std::u16string names[] = {u"Team call notes",      u"+49 170 1234567", u"Anna Petrova",
                                        u"Dentist, Friday 4 pm", u"Olga Smirnova",   u"Mum"};
        const std::u16string artists[] = {u"2:31 \u00b7 Today 14:32",
                                          u"Incoming call \u00b7 0:42 \u00b7 Today 09:15",
                                          u"Outgoing call \u00b7 12:05 \u00b7 Yesterday",
                                          u"0:18 \u00b7 07/12/2026",
                                          u"Incoming call \u00b7 Recording now \u00b7 Today 14:40",
                                          u"Outgoing call \u00b7 1:02:03 \u00b7 06/12/2026"};
        fill_list(
            properties, *screen->find_child(u"list"), std::vector<std::u16string>(empty ? 0 : 12, u"Record"),
            [&](Widget& row, size_t i) {
                icon(row, i);
                text(row, u"name", names[i % 6]);
                text(row, u"artist", artists[i % 6]);
            },
            false);
    } else if (element == u"FormRecording") {
        icon(*screen, 1);
        text(*screen, u"frmElapsed", u"0:03:07");
        text(*screen, u"frmLeft", u"41:10:00");
        value(*screen, u"pbLevel", 0.62);
        value(*screen, u"pbVAS", 0.3);
    } else if (element == u"FormView") {
        icon(*screen, 0);
        text(*screen, u"frmElapsed", u"0:01:12");
        text(*screen, u"frmLeft", u"0:02:03");
        value(*screen, u"pbLevel", 0.45);
        value(*screen, u"pbPosition", 0.37);
        value(*screen, u"pbVolume", 0.7);
    } else if (element == u"Menu") {
        text(*screen, u"caption", u"Settings");
        const std::u16string rows[] = {u"MenuElement4Buttons", u"MenuElement",         u"MenuElement", u"MenuElement",
                                       u"MenuElementRed",      u"MenuElementDisabled", u"MenuElement"};
        const std::u16string labels[] = {u"",       u"Record calls", u"Speaker", u"Format: MP3 middle",
                                         u"Delete", u"Move to card", u"Cancel"};
        fill_list(
            properties, *screen->find_child(u"vlist"), {std::begin(rows), std::end(rows)},
            [&](Widget& row, size_t i) {
                if (i > 0) text(row, u"#text", labels[i]);
                if (Widget* checked = row.find_child(u"checked")) checked->set_visible(i == 1);
                if (Widget* separator = row.find_child(u"separator")) separator->set_visible(i == 4);
            },
            true);
    } else if (element == u"FormConfirmation") {
        text(*screen, u"text", u"Recordings to delete: 3. Delete them?");
    } else if (element == u"FormQuestion") {
        text(*screen, u"text",
             u"Ctrl+Alt+N runs \"Screenshot\" now. Start recordings with it instead? Taking the key back "
             u"later gives it back.");
    } else if (element == u"FormError") {
        text(*screen, u"text", u"Sorry, there is no memory or space left. The recording has stopped.");
    } else if (element == u"FormAbout") {
        text(*screen, u"version", u"Quillon Touch 0.1");
        text(*screen, u"text",
             u"Records voice notes and phone calls, and plays them back.\n\nLicence: GPL-3.0-or-later\n\n"
             u"Made with: LAME, Tremor, libmpcdec, SDL 2, PulseAudio, SQLite, ICU, FreeType, Fontconfig, libpng, GLib");
    } else if (element == u"FormEdit") {
        text(*screen, u"edit", u"Team call notes");
    } else if (element == u"QuickRecord") {
        const std::u16string keys[] = {u"Camera button", u"Volume up, long press", u"Headset button"};
        fill_list(
            properties, *screen->find_child(u"list"), std::vector<std::u16string>(3, u"HardwareKey"),
            [&](Widget& row, size_t i) {
                text(row, u"name", keys[i]);
                text(row, u"runs", i == 1 ? u"Starts a recording" : u"Runs: Screenshot");
                row.find_child(u"checked")->set_visible(i == 1);
                row.find_child(u"unchecked")->set_visible(i != 1);
            },
            false);
    }
    lay_out(*screen, display);
    return screen;
}

bool is_overlay(std::u16string_view element) {
    return element == u"Menu" || element == u"FormConfirmation" || element == u"FormError" ||
           element == u"QuickRecord" || element == u"FormAbout" || element == u"FormQuestion";
}

TEST(ShippedSkinSamples, EveryControlDrawsWhereItLies) {
    const char* folder = std::getenv("QUILLON_SKIN_SAMPLES");
    // A phone always; landscape, high density and the large sizes as well when the frames are
    // wanted (each costs seconds in a sanitizer build; the layout tests cover their geometry).
    std::vector<DisplayInfo> displays = {{480, 800, 96, 0}};
    if (folder) {
        displays.push_back({720, 1440, 192, 0});
        displays.push_back({800, 480, 192, 1});
        displays.push_back({1080, 2340, 400, 0});
        displays.push_back({2340, 1080, 96, 1});
    }
    for (const DisplayInfo& display : displays) {
        Properties splash, properties;
        ASSERT_TRUE(skin_data::load_installed(splash, SkinFile::Splash, display));
        ASSERT_TRUE(skin_data::load_installed(properties, SkinFile::Default, display));
        const std::string size =
            std::to_string(display.width) + "x" + std::to_string(display.height) + "@" + std::to_string(display.dpi_y);
        std::vector<std::u16string_view> frames(std::begin(skin_lookups::screens), std::end(skin_lookups::screens));
        frames.push_back(u"FormMain+search");
        frames.push_back(u"FormMain+empty");
        frames.push_back(u"FormRecording+looks");
        for (std::u16string_view frame_name : frames) {
            const bool search = frame_name == u"FormMain+search";
            const bool empty = frame_name == u"FormMain+empty";
            const bool looks = frame_name == u"FormRecording+looks";
            const std::u16string_view element = search || empty ? u"FormMain" : looks ? u"FormRecording" : frame_name;
            const Properties& skin = element == u"FormSplash" ? splash : properties;
            RenderSurface surface(display.width, display.height);
            surface.fill({0, 0, display.width, display.height}, Color{0, 0, 0, 255});
            if (is_overlay(element)) {
                // What the screen stack shows under an overlay: the main screen at half brightness.
                sample_screen(properties, u"FormMain", display)->draw(surface, {0, 0});
                surface.filter({0, 0, display.width, display.height}, dim_row, 8);
            }
            auto screen = sample_screen(skin, element, display, search, empty);
            if (looks) {
                // The other looks: a pressed button, a disabled one, the paused and speaker-on states.
                skin_data::show_look(*screen->find_child(u"btnClose"), u"#pressed");
                skin_data::show_look(*screen->find_child(u"btnBoost"), u"#disabled");
                skin_data::show_look(*screen->find_child(u"btnName"), u"#pressed");
                screen->find_child(u"btnPause")->set_visible(false);
                screen->find_child(u"btnResume")->set_visible(true);
                screen->find_child(u"btnSpeakerOn")->set_visible(false);
                screen->find_child(u"btnSpeakerOff")->set_visible(true);
                screen->find_child(u"speaker")->set_visible(true);
                lay_out(*screen, display);
            }
            screen->draw(surface, {0, 0});
            const Bitmap& frame = *surface.bitmap();
            for (std::u16string_view id : lookups_of(element).children) {
                Widget* widget = screen->find_child(id);
                if (!widget->is_effective_visible() || widget->children().empty()) continue;
                std::set<Pixel> seen;
                for (int y = widget->position().y; y < widget->position().y + widget->size().height; ++y) {
                    for (int x = widget->position().x; x < widget->position().x + widget->size().width; ++x) {
                        seen.insert(frame.at(x, y));
                    }
                }
                EXPECT_GE(seen.size(), 2u) << size << " " << os::to_utf8(std::u16string(element)) << "/"
                                           << os::to_utf8(std::u16string(id)) << " draws nothing";
            }
            if (folder) {
                const std::string path =
                    std::string(folder) + "/" + os::to_utf8(std::u16string(frame_name)) + "_" + size + ".png";
                EXPECT_TRUE(save_png(frame, path)) << path;
            }
        }
    }
}

}  // namespace
