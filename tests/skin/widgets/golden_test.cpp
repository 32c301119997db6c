// One golden frame per widget kind: each is drawn into a small surface and compared with the
// picture under golden/ (16-bit BMP), allowing for small differences where text is rasterised.
// QUILLON_UPDATE_GOLDEN=1 writes the pictures anew (look at them before committing).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "os/text.h"
#include "skin/bitmap.h"
#include "skin/checkbox_widget.h"
#include "skin/progress_widget.h"
#include "skin/vlist_widget.h"
#include "tests/skin/skin_test_support.h"
#include "tests/skin/widgets/widget_fixture.h"

using namespace widget_test;

namespace {
const char* kGolden = R"(
element node {
    child {
        string type node
        point border_min 4 4
        point border_max 4 4
        child {
            string type color
            color color 40 160 90
        }
    }
}
element color {
    child {
        string type color
        color color 250 120 30
        child {
            string type color
            color color 0 0 255
        }
    }
}
element image {
    child {
        string type image
        picture src frame 0 0 4 4 12 12 8 8
        int alpha 0
        child {
            string type image
            picture src frame 0 0 4 4 12 12 8 8
            int alpha 128
            point border_min 20 8
            point border_max 20 8
        }
    }
}
element text {
    child {
        string type text
        string text "Quill 12"
        color color 255 255 255
        font font 9 1 0 0 Tahoma
    }
}
element oldtext {
    child {
        string type oldtext
        string text "A long line that ends early"
        color color 255 255 0
        string halign LEFT
        font font 8 0 0 0 Tahoma
    }
}
element edit {
    child {
        string type edit
        string text "edit me"
        color color 0 0 0
        color background_color 230 230 230
        string halign LEFT
        font font 8 0 0 0 Tahoma
    }
}
element button {
    child {
        string type button
        string text "OK"
        child {
            string type image
            string id #normal
            picture src frame 0 0 4 4 12 12 8 8
            int alpha 0
        }
        child {
            string type color
            string id #pressed
            color color 255 0 0
        }
        child {
            string type text
            string id #text
            color color 255 255 255
            font font 9 1 0 0 Tahoma
        }
    }
}
element checkbox {
    child {
        string type checkbox
        int states 2
        child {
            string type color
            string id #state_0
            color color 90 90 90
        }
        child {
            string type color
            string id #state_1
            color color 20 200 20
            point border_min 8 8
            point border_max 8 8
        }
    }
}
element progress {
    child {
        string type progress
        child {
            string type color
            color color 60 60 60
        }
        child {
            string type color
            string id #line
            string anchor_x MIN_SIDE
            point border_min 2 2
            point border_max 2 2
            color color 0 200 255
        }
    }
}
element htable {
    child {
        string type htable
        child {
            string type color
            color color 255 0 0
            int table_ratio 1
            point design_size 10 0
        }
        child {
            string type color
            color color 0 255 0
            point design_size 10 0
        }
        child {
            string type color
            color color 0 0 255
            int table_ratio 1
            point design_size 10 0
        }
    }
}
element vtable {
    child {
        string type vtable
        child {
            string type color
            color color 255 255 0
            int table_ratio 1
        }
        child {
            string type color
            color color 0 255 255
            point design_size 0 6
        }
    }
}
element clip {
    child {
        string type clip
        point border_min 16 8
        point border_max 16 8
        child {
            string type color
            string anchor_x MIN_SIDE_NO_SIZE
            string anchor_y MIN_SIDE_NO_SIZE
            point design_size 200 200
            point border_min -50 -50
            color color 255 0 255
        }
    }
}
element label_edit {
    child {
        string type label_edit
        child {
            string type edit
            string id #edit
            color background_color 255 255 255
        }
        child {
            string type text
            string id #text
            string text "Name"
            color color 128 128 128
            font font 8 0 1 0 Tahoma
        }
    }
}
element vlist {
    child {
        string type vlist
        string id list
        point scroll_border_min 0 2
    }
}
element Row {
    point design_size 0 12
    child {
        string type color
        string id #vlist_normal
        color color 30 30 60
        point border_max 0 1
    }
    child {
        string type color
        string id #vlist_selected
        color color 60 60 200
        point border_max 0 1
    }
    child {
        string type text
        string id #text
        string halign LEFT
        color color 255 255 255
        font font 7 0 0 0 Tahoma
    }
}
)";

std::string picture_folder() {
    const std::string folder = skin_test::temp_folder() + "/golden-pictures";
    std::filesystem::create_directories(folder);
    // A 12 × 12 frame: a dark border, a lighter ring and a keyed centre.
    std::vector<Pixel> pixels(144);
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < 12; ++x) {
            const int ring = std::min(std::min(x, y), std::min(11 - x, 11 - y));
            pixels[y * 12 + x] = ring == 0 ? 0x2124 | kOpaqueBit : ring < 3 ? 0x7BEF | kOpaqueBit : kKeyPixel;
        }
    }
    skin_test::write_file(folder + "/frame.bmp", skin_test::make_bmp(12, 12, pixels));
    return folder;
}

struct RowAdapter : VListAdapter {
    Properties* properties;
    void build_row(Widget& row, int32_t) override { row.bind(*properties, u"Row"); }
    void bind_row(Widget& row, int32_t index) override {
        row.set_text(u"Item " + std::u16string(1, static_cast<char16_t>(u'A' + index)));
    }
};

int channel_distance(Pixel a, Pixel b) {
    const int dr = std::abs((a >> 11) - (b >> 11));
    const int dg = std::abs(((a >> 5) & 0x3F) - ((b >> 5) & 0x3F)) / 2;
    const int db = std::abs((a & 0x1F) - (b & 0x1F));
    return std::max(dr, std::max(dg, db));
}
}  // namespace

TEST(GoldenFrames, OneFramePerWidgetKind) {
    auto properties = load(kGolden, picture_folder());
    const std::string golden = std::string(QUILLON_TEST_DATA) + "/golden/";
    const bool update = std::getenv("QUILLON_UPDATE_GOLDEN") != nullptr;
    RowAdapter adapter;
    adapter.properties = properties.get();
    for (const char* kind : {"node", "color", "image", "text", "oldtext", "edit", "button", "checkbox", "progress",
                             "htable", "vtable", "clip", "label_edit", "vlist"}) {
        SCOPED_TRACE(kind);
        Screen screen;
        ASSERT_TRUE(screen.bind(*properties, os::from_utf8(kind)));
        const Size size{64, std::string(kind) == "vlist" ? 48 : 24};
        lay_out(screen, size.width, size.height);
        if (std::string(kind) == "checkbox") static_cast<CheckboxWidget*>(screen.children()[0].get())->set_state(1);
        if (std::string(kind) == "progress") static_cast<ProgressWidget*>(screen.children()[0].get())->set_value(0.4);
        if (std::string(kind) == "vlist") {
            auto* list = static_cast<VListWidget*>(screen.find_child(u"list"));
            list->set_adapter(&adapter);
            list->reset(10);
            list->set_selection(1);
            lay_out(screen, size.width, size.height);
        }
        RenderSurface frame(size.width, size.height);
        frame.fill({0, 0, size.width, size.height}, Color{16, 16, 16, 255});
        screen.draw_at(frame, {0, 0});

        const std::string path = golden + kind + ".bmp";
        if (update) {
            std::vector<Pixel> pixels;
            for (int y = 0; y < size.height; ++y) {
                for (int x = 0; x < size.width; ++x) pixels.push_back(frame.bitmap()->at(x, y));
            }
            std::filesystem::create_directories(golden);
            skin_test::write_file(path, skin_test::make_bmp(size.width, size.height, pixels));
            continue;
        }
        const auto expected = load_565(os::from_utf8(path));
        ASSERT_TRUE(expected) << path;
        ASSERT_EQ(expected->size(), size);
        // Pixels may differ a little where glyph edges are blended; a few may differ more.
        int off = 0;
        for (int y = 0; y < size.height; ++y) {
            for (int x = 0; x < size.width; ++x) {
                if (channel_distance(expected->at(x, y), frame.bitmap()->at(x, y)) > 3) ++off;
            }
        }
        EXPECT_LE(off, size.width * size.height / 50) << kind;
    }
}
