#include <gtest/gtest.h>

#include "os/text.h"
#include "skin/blitter.h"
#include "skin/draw_text.h"
#include "skin/render_surface.h"
#include "skin/widget.h"
#include "tests/skin/skin_test_support.h"

namespace {
Pixel apply(const Blitter& blitter, Pixel s, Pixel d) {
    Pixel dst = d;
    blitter.copy_row(&dst, &dst + 1, &s);
    return dst;
}

std::shared_ptr<Bitmap> numbered(int32_t width, int32_t height) {
    auto bitmap = std::make_shared<Bitmap>(width, height);
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x) bitmap->at(x, y) = static_cast<Pixel>(y * 256 + x + 1);
    }
    return bitmap;
}
}  // namespace

TEST(Blitter, PixelRules) {
    const Blitter& level1 = level_blitter(1);
    EXPECT_EQ(apply(level1, 0x0000, 0xFFFF), 0x39E7);
    EXPECT_EQ(apply(level1, 0x0020, 0xFFFF), 0x0020);
    EXPECT_EQ(apply(level1, kKeyPixel, 0x1234), 0x1234);
    EXPECT_EQ(apply(level_blitter(2), 0x0000, 0xFFFF), 0x7BEF);
    EXPECT_EQ(apply(level_blitter(3), 0x0000, 0xFFFF), 0x39E7 + 0x7BEF);
    EXPECT_EQ(apply(level_blitter(0), 0x0000, 0xFFFF), 0x0000);
    EXPECT_EQ(apply(level_blitter(0), kKeyPixel, 0xFFFF), 0xFFFF);
    EXPECT_EQ(apply(level_blitter(4), 0x0000, 0xFFFF), 0xFFFF);
    EXPECT_EQ(apply(level_blitter(4), 0x0020, 0xFFFF), 0x0020);
    EXPECT_EQ(apply(opaque_blitter(), kKeyPixel, 0xFFFF), kKeyPixel);
    EXPECT_EQ(apply(text_write_back_blitter(), 0x1234, 0x1234), 0x1234);
    EXPECT_EQ(apply(text_write_back_blitter(), 0x1200, 0x1234), 0x1220);
    auto tint = make_tint_blitter(128, 256, 0, false);
    EXPECT_EQ(apply(*tint, 0xFFFF, 0x0000), (15 << 11) | (63 << 5));
    auto combine = make_tint_blitter(0, 0, 256, true);
    EXPECT_EQ(apply(*combine, 0x001F, 0xF800), 0xF81F);

    // "cache_alpha" and "alpha" values choose the blitter.
    EXPECT_EQ(&translucency_blitter(-1), &opaque_blitter());
    EXPECT_EQ(&translucency_blitter(63), &level_blitter(0));
    EXPECT_EQ(&translucency_blitter(64), &level_blitter(1));
    EXPECT_EQ(&translucency_blitter(191), &level_blitter(2));
    EXPECT_EQ(&translucency_blitter(300), &level_blitter(4));
    EXPECT_EQ(&translucency_blitter(-5), &level_blitter(0));

    // The four row operations walk the source as documented.
    const Pixel source[6] = {1, 2, 3, 4, 5, 6};
    Pixel out[8] = {};
    opaque_blitter().stretch_row(out, out + 4, source, 512, 1536);
    EXPECT_EQ(std::vector<Pixel>(out, out + 4), (std::vector<Pixel>{1, 3, 4, 6}));
    level_blitter(0).scaled_row(out, source, 3, 4, 1);
    EXPECT_EQ(std::vector<Pixel>(out, out + 4), (std::vector<Pixel>{2, 3, 3, 4}));
    level_blitter(0).tiled_row(out, source, 3, 7, 0, 2, 5);
    EXPECT_EQ(std::vector<Pixel>(out, out + 7), (std::vector<Pixel>{4, 5, 3, 4, 5, 3, 4}));
}

TEST(Blitter, Dimming) {
    EXPECT_EQ(dimming_level(0), 0);
    EXPECT_EQ(dimming_level(7), 0);
    EXPECT_EQ(dimming_level(8), 1);
    EXPECT_EQ(dimming_level(255), 16);
    EXPECT_EQ(dimming_level(100000), 16);
    EXPECT_EQ(dimming_level(-100), 0);
    // Odd lengths at odd addresses: the lone pixels at either end are dimmed too.
    std::vector<Pixel> row(9, 0xFFFF);
    dim_row(row.data() + 1, row.data() + 8, 4);
    EXPECT_EQ(row[0], 0xFFFF);
    for (int i = 1; i < 8; ++i) EXPECT_EQ(row[i], 0x39E7) << i;
    EXPECT_EQ(row[8], 0xFFFF);
    std::fill(row.begin(), row.end(), 0xFFFF);
    dim_row(row.data(), row.data() + 9, 1);
    EXPECT_EQ(row[8], 0x0861);
    dim_row(row.data(), row.data() + 9, 16);
    EXPECT_EQ(row[0], 0x0861);
    dim_row(row.data(), row.data() + 9, 0);
    EXPECT_EQ(row[4], 0);
    // Every level scales each channel by about level / 16 and never overflows into its neighbour.
    for (int32_t level = 1; level < 16; ++level) {
        Pixel p = 0xFFFF;
        dim_row(&p, &p + 1, level);
        const int red = p >> 11, green = (p >> 5) & 0x3F, blue = p & 0x1F;
        EXPECT_NEAR(red, 31 * level / 16.0, 1.0) << level;
        EXPECT_NEAR(green, 63 * level / 16.0, 1.0) << level;
        EXPECT_NEAR(blue, 31 * level / 16.0, 1.0) << level;
    }
    RenderSurface surface(4, 2);
    surface.fill({0, 0, 4, 2}, Color{255, 255, 255, 255});
    surface.filter(
        {1, 0, 10, 1}, [](Pixel* b, Pixel* e, int32_t n) { dim_row(b, e, n); }, dimming_level(0));
    EXPECT_EQ(surface.bitmap()->at(0, 0), 0xFFFF);
    EXPECT_EQ(surface.bitmap()->at(3, 0), 0x0000);
    EXPECT_EQ(surface.bitmap()->at(3, 1), 0xFFFF);
}

TEST(Bitmap, Load565RowOrderAndPadding) {
    const std::string folder = skin_test::temp_folder();
    const std::vector<Pixel> pixels = {1, 2, 3, 4, 5, 6};
    skin_test::write_file(folder + "/up.bmp", skin_test::make_bmp(3, 2, pixels, false));
    skin_test::write_file(folder + "/down.bmp", skin_test::make_bmp(3, 2, pixels, true));
    skin_test::write_file(folder + "/deep.bmp", skin_test::make_bmp(3, 2, pixels, false, 24));
    for (const char* name : {"/up.bmp", "/down.bmp"}) {
        auto bitmap = load_565(os::from_utf8(folder + name));
        ASSERT_TRUE(bitmap) << name;
        EXPECT_EQ(bitmap->size(), (Size{3, 2}));
        for (int i = 0; i < 6; ++i) EXPECT_EQ(bitmap->at(i % 3, i / 3), pixels[i]) << name << i;
    }
    const BitmapLoad deep = load_565_file(os::from_utf8(folder + "/deep.bmp"));
    EXPECT_EQ(deep.status, BitmapLoad::Status::Not16Bit);
    EXPECT_FALSE(deep.bitmap);
    EXPECT_FALSE(load_565(u"/no/such.bmp"));
}

TEST(RenderSurface, RecreateClipAndPixelCount) {
    const int64_t before = RenderSurface::pixel_count();
    {
        RenderSurface surface(10, 20);
        EXPECT_EQ(RenderSurface::pixel_count(), before + 200);
        EXPECT_FALSE(surface.recreate(10, 20));
        surface.set_clip({2, 2, 5, 5});
        EXPECT_TRUE(surface.clip_in_effect());
        EXPECT_TRUE(surface.recreate(4, 4));
        EXPECT_EQ(surface.clip(), (Rect{0, 0, 4, 4}));
        EXPECT_FALSE(surface.clip_in_effect());
        EXPECT_EQ(RenderSurface::pixel_count(), before + 16);
        RenderSurface empty;
        EXPECT_FALSE(empty.recreate(0, 0));
        EXPECT_EQ(empty.size(), (Size{0, 0}));
    }
    EXPECT_EQ(RenderSurface::pixel_count(), before);
}

TEST(RenderSurface, BlitAndStretchClip) {
    auto source = numbered(4, 4);
    RenderSurface surface(6, 6);
    // Out-of-range sources draw nothing.
    blit(surface, {0, 0}, {2, 2}, *source, {3, 3}, opaque_blitter());
    blit(surface, {0, 0}, {2, 2}, *source, {-1, 0}, opaque_blitter());
    blit(surface, {0, 0}, {0, 2}, *source, {0, 0}, opaque_blitter());
    EXPECT_EQ(surface.bitmap()->at(0, 0), 0);
    // Clipped on the left and top: the source moves by the amount cut off.
    surface.set_clip({1, 1, 6, 6});
    blit(surface, {-1, 0}, {4, 4}, *source, {0, 0}, opaque_blitter());
    EXPECT_EQ(surface.bitmap()->at(0, 0), 0);
    EXPECT_EQ(surface.bitmap()->at(1, 1), source->at(2, 1));
    EXPECT_EQ(surface.bitmap()->at(2, 3), source->at(3, 3));
    EXPECT_EQ(surface.bitmap()->at(3, 3), 0);

    RenderSurface big(8, 8);
    stretch_blit(big, {0, 0}, {8, 8}, *source, {0, 0}, {4, 4}, opaque_blitter());
    EXPECT_EQ(big.bitmap()->at(7, 7), source->at(3, 3));
    EXPECT_EQ(big.bitmap()->at(2, 5), source->at(1, 2));
    big.fill({0, 0, 8, 8}, Color{});
    big.set_clip({3, 3, 8, 8});
    stretch_blit(big, {-2, -2}, {10, 10}, *source, {0, 0}, {4, 4}, opaque_blitter());
    // step = 4096 / 10 = 409: destination 3 is 5 pixels in, source x = 5 × 409 >> 10 = 1.
    EXPECT_EQ(big.bitmap()->at(3, 3), source->at(1, 1));
    EXPECT_EQ(big.bitmap()->at(2, 2), 0);
}

TEST(DrawPicture, FixedCornersTiledMiddle) {
    // A 30-wide strip: lead 10, inner 10, trail 10.
    PictureRef picture;
    picture.bitmap = numbered(30, 1);
    picture.p0 = {0, 0};
    picture.p1 = {10, 0};
    picture.p3 = {20, 1};
    picture.p2 = {30, 1};
    RenderSurface wide(50, 1);
    draw_picture(wide, {0, 0}, {50, 1}, picture, opaque_blitter());
    for (int x = 0; x < 10; ++x) EXPECT_EQ(wide.bitmap()->at(x, 0), x + 1);
    for (int x = 10; x < 40; ++x) EXPECT_EQ(wide.bitmap()->at(x, 0), 10 + (x - 10) % 10 + 1) << x;
    for (int x = 40; x < 50; ++x) EXPECT_EQ(wide.bitmap()->at(x, 0), x - 20 + 1);

    // Too short: 8 from the lead end, 7 from the trail end, every pixel covered.
    RenderSurface narrow(15, 1);
    draw_picture(narrow, {0, 0}, {15, 1}, picture, opaque_blitter());
    for (int x = 0; x < 8; ++x) EXPECT_EQ(narrow.bitmap()->at(x, 0), x + 1);
    for (int x = 8; x < 15; ++x) EXPECT_EQ(narrow.bitmap()->at(x, 0), 23 + (x - 8) + 1) << x;

    // Clipping into the middle keeps the tiling phase.
    RenderSurface clipped(50, 1);
    clipped.set_clip({13, 0, 50, 1});
    draw_picture(clipped, {0, 0}, {50, 1}, picture, opaque_blitter());
    EXPECT_EQ(clipped.bitmap()->at(12, 0), 0);
    EXPECT_EQ(clipped.bitmap()->at(13, 0), wide.bitmap()->at(13, 0));
    EXPECT_EQ(clipped.bitmap()->at(35, 0), wide.bitmap()->at(35, 0));

    // Hi-res: every source pixel doubled.
    PictureRef doubled = picture;
    doubled.scale_shift = 1;
    doubled.p1 = {20, 0};
    doubled.p3 = {40, 2};
    doubled.p2 = {60, 2};
    RenderSurface twice(60, 2);
    draw_picture(twice, {0, 0}, {60, 2}, doubled, opaque_blitter());
    EXPECT_EQ(twice.bitmap()->at(0, 1), 1);
    EXPECT_EQ(twice.bitmap()->at(1, 1), 1);
    EXPECT_EQ(twice.bitmap()->at(59, 0), 30);

    // Points outside the bitmap draw nothing.
    PictureRef broken = picture;
    broken.p2 = {31, 1};
    RenderSurface untouched(40, 1);
    draw_picture(untouched, {0, 0}, {40, 1}, broken, opaque_blitter());
    EXPECT_EQ(untouched.bitmap()->at(0, 0), 0);
}

TEST(DrawText, ChangesOnlyTextPixels) {
    FontRep font(FontSpec{}, 96);
    ASSERT_TRUE(font.is_valid());
    EXPECT_GT(font.line_height(), 10);
    RenderSurface surface(120, 30);
    const Color background{0, 0, 255, 255};
    surface.fill({0, 0, 120, 30}, background);
    const Pixel blue = to_pixel(background);  // 0x001F: opaque bit clear
    draw_text(surface, font, background, u"Hidden text", {0, 0, 120, 30}, HAlign::Center, VAlign::VCenter, false);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) ASSERT_EQ(surface.bitmap()->at(x, y), blue);
    }
    draw_text(surface, font, Color{255, 255, 255, 255}, u"Hi", {0, 0, 120, 30}, HAlign::Left, VAlign::Top, false);
    int changed = 0;
    int right_half = 0;
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            const Pixel p = surface.bitmap()->at(x, y);
            if (p == blue) continue;
            ++changed;
            EXPECT_TRUE(p & kOpaqueBit);
            if (x >= 60) ++right_half;
        }
    }
    EXPECT_GT(changed, 10);
    EXPECT_EQ(right_half, 0);  // left-aligned

    // The clip limits what is written back.
    RenderSurface clipped(120, 30);
    draw_text(clipped, font, Color{255, 255, 255, 255}, u"MMMMMMMM", {0, 0, 120, 30}, HAlign::Left, VAlign::Top, false,
              {0, 0, 10, 30});
    for (int x = 10; x < 120; ++x) EXPECT_EQ(clipped.bitmap()->at(x, 5), 0);
}

TEST(DrawText, WidthsBreaksAndEllipsis) {
    FontRep font(FontSpec{}, 96);
    std::vector<int32_t> widths;
    font.char_widths(u"aab", widths);
    ASSERT_EQ(widths.size(), 3u);
    EXPECT_EQ(widths[0], widths[1]);
    EXPECT_GT(widths[0], 0);
    EXPECT_EQ(font.text_width(u"aab"), widths[0] * 2 + widths[2]);
    EXPECT_EQ(font.fit(u"aab", widths[0] * 2), 2u);
    EXPECT_EQ(font.fit(u"aab", 1000), 3u);

    const int32_t width = font.text_width(u"one two");
    auto lines = break_text_lines(font, u"one two three", width, true);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], u"one two");
    EXPECT_EQ(lines[1], u"three");
    lines = break_text_lines(font, u"a\nb", 1000, true);
    EXPECT_EQ(lines, (std::vector<std::u16string>{u"a", u"b"}));
    lines = break_text_lines(font, u"one two three", width, false);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(lines[0].size() - 3), u"...");
    EXPECT_LE(font.text_width(lines[0]), width);
    EXPECT_EQ(ellipsize(font, u"fits", 1000), u"fits");

    // Bold text is wider; underline draws below the baseline.
    FontSpec bold_spec;
    bold_spec.bold = true;
    FontRep bold(bold_spec, 96);
    EXPECT_GT(bold.text_width(u"Recording"), font.text_width(u"Recording"));
}

TEST(WidgetCache, DrawsOnceAndBlendsWithCacheAlpha) {
    struct Painter : Widget {
        using Widget::Widget;
        int draws = 0;
        void draw(RenderSurface& surface, Point origin) override {
            ++draws;
            surface.fill({origin.x, origin.y, origin.x + 2, origin.y + 2}, Color{0, 0, 0, 255});
        }
    };
    Widget root;
    auto* painter = static_cast<Painter*>(root.add_child(std::make_unique<Painter>(&root)));
    painter->set_borders({1, 1}, {1, 1});
    painter->set_cache(true, 100);  // Level 1: black (opaque bit clear) gains a quarter of the destination
    root.set_x(0, 6);
    root.set_y(0, 6);
    RenderSurface screen(6, 6);
    screen.fill({0, 0, 6, 6}, Color{255, 255, 255, 255});
    root.draw(screen, {0, 0});
    EXPECT_EQ(painter->draws, 1);
    EXPECT_EQ(painter->cache_surface().size(), (Size{4, 4}));
    EXPECT_EQ(screen.bitmap()->at(1, 1), 0x39E7);
    EXPECT_EQ(screen.bitmap()->at(4, 4), 0xFFFF);  // the key colour left the screen alone
    root.draw(screen, {0, 0});
    EXPECT_EQ(painter->draws, 1);  // reused
    painter->mark_redraw();
    root.draw(screen, {0, 0});
    EXPECT_EQ(painter->draws, 2);
    painter->set_visible(false);
    EXPECT_EQ(painter->cache_surface().size(), (Size{0, 0}));
}
