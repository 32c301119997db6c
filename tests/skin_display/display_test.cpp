// The display layer: padded memory bitmaps, the frame turned for each orientation (pixels read back
// from SDL's dummy driver, whose software renderer draws into the window's memory), the null
// display's last frame, and the screenshot written at most once per second and at exit.
#include "skin/display/display.h"

#include <SDL.h>
#include <gtest/gtest.h>
#include <png.h>
#include <stdlib.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>

#include "os/tick.h"
#include "skin/display/platform_window.h"
#include "skin/display/screenshot.h"
#include "tests/os/temp_root.h"

namespace {

uint32_t g_now = 0;
uint32_t fake_tick() { return g_now; }

// A frame whose every pixel is distinct, so any misplaced one shows.
std::unique_ptr<MemoryBitmap> numbered_frame(Size size) {
    auto frame = create_bitmap(size.width, size.height);
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t x = 0; x < size.width; ++x) {
            // Whole 5-bit red and 6-bit green steps survive the trip through any 24-bit surface.
            frame->at(x, y) = static_cast<Pixel>(((x + 1) << 11) | ((y + 1) << 5));
        }
    }
    return frame;
}

// The pixel at (x, y) of the window's memory, back in RGB565.
Pixel window_pixel(SDL_Surface* surface, int x, int y) {
    uint32_t value = 0;
    const uint8_t* row = static_cast<const uint8_t*>(surface->pixels) + y * surface->pitch;
    std::memcpy(&value, row + x * surface->format->BytesPerPixel, surface->format->BytesPerPixel);
    uint8_t r, g, b;
    SDL_GetRGB(value, surface->format, &r, &g, &b);
    return static_cast<Pixel>(((r >> 3) << 11) | ((g >> 2) << 5) | (b >> 3));
}

TEST(DisplayBitmaps, RowsArePaddedToWholeWords) {
    auto odd = create_bitmap(3, 2);
    ASSERT_TRUE(odd);
    EXPECT_EQ(odd->pitch(), 8);
    odd->at(2, 1) = 0x1234;
    EXPECT_EQ(reinterpret_cast<const uint8_t*>(odd->row(1)) - reinterpret_cast<const uint8_t*>(odd->row(0)), 8);
    EXPECT_EQ(odd->at(2, 1), 0x1234);
    EXPECT_EQ(create_bitmap(4, 1)->pitch(), 8);
    EXPECT_EQ(create_drawable_bitmap(1, 1)->pitch(), 4);
    EXPECT_FALSE(create_bitmap(0, 10));
    EXPECT_FALSE(create_bitmap(10, -1));
    EXPECT_FALSE(create_bitmap(100000, 100000));
}

TEST(DisplayOrientation, ScreenPointsMapBackIntoTheTurnedFrame) {
    EXPECT_EQ(frame_size_for(480, 800, 0), (Size{480, 800}));
    EXPECT_EQ(frame_size_for(480, 800, 1), (Size{800, 480}));
    EXPECT_EQ(frame_size_for(480, 800, 3), (Size{800, 480}));
    const Size frame{4, 2};
    // Turned a quarter clockwise, the frame's top-left corner lands at the screen's top right.
    EXPECT_EQ(screen_to_frame({1, 0}, frame, 1), (Point{0, 0}));
    EXPECT_EQ(screen_to_frame({0, 3}, frame, 1), (Point{3, 1}));
    EXPECT_EQ(screen_to_frame({3, 1}, frame, 2), (Point{0, 0}));
    EXPECT_EQ(screen_to_frame({0, 3}, frame, 3), (Point{0, 0}));
    EXPECT_EQ(screen_to_frame({2, 1}, frame, 0), (Point{2, 1}));
}

class SdlDisplayTest : public ::testing::Test {
protected:
    void SetUp() override {
        env.set("SDL_VIDEODRIVER", "dummy");
        std::string error;
        video = VideoSession::open(error);
        ASSERT_TRUE(video) << error;
    }
    void TearDown() override {
        video.reset();
        env.unset("SDL_VIDEODRIVER");
    }

    TempRoot root;
    ScopedEnv env;
    std::unique_ptr<VideoSession> video;
};

TEST_F(SdlDisplayTest, FramesArriveTurnedForEveryOrientation) {
    for (int32_t orientation = 0; orientation < 4; ++orientation) {
        PlatformWindow::Options options;
        options.title = "display test";
        options.width = 6;
        options.height = 4;
        auto window = PlatformWindow::create(options);
        ASSERT_TRUE(window);
        DisplayParams params{6, 4, orientation, 0};
        auto display = window->create_display(params);
        ASSERT_TRUE(display);
        EXPECT_EQ(params.swap_effect, 1);
        const Size frame_size = display->frame_size();
        auto frame = numbered_frame(frame_size);
        ASSERT_TRUE(display->present(*frame));
        SDL_Surface* surface = SDL_GetWindowSurface(SDL_GetWindowFromID(window->id()));
        ASSERT_NE(surface, nullptr);
        ASSERT_EQ(surface->w, 6);
        ASSERT_EQ(surface->h, 4);
        for (int y = 0; y < 4; ++y) {
            for (int x = 0; x < 6; ++x) {
                const Point source = screen_to_frame({x, y}, frame_size, orientation);
                ASSERT_EQ(window_pixel(surface, x, y), frame->at(source.x, source.y))
                    << "orientation " << orientation << " at " << x << "," << y;
            }
        }
    }
}

TEST_F(SdlDisplayTest, AFrameOfAnotherSizeIsStillShownWhole) {
    PlatformWindow::Options options;
    options.width = 8;
    options.height = 8;
    auto window = PlatformWindow::create(options);
    ASSERT_TRUE(window);
    DisplayParams params{8, 8, 0, 1};
    auto display = window->create_display(params);
    ASSERT_TRUE(display);
    // The window was resized and the frame is still the old size: stretched, never a crash.
    auto small = create_bitmap(1, 1);
    small->at(0, 0) = 0xF800;
    ASSERT_TRUE(display->present(*small));
    SDL_Surface* surface = SDL_GetWindowSurface(SDL_GetWindowFromID(window->id()));
    EXPECT_EQ(window_pixel(surface, 7, 7), 0xF800);
    display->refresh();
    EXPECT_EQ(window_pixel(surface, 0, 0), 0xF800);
}

TEST(NullDisplayTest, KeepsTheLastFrameAndWritesScreenshotsAtMostOncePerSecond) {
    TempRoot root;
    const std::string path = root.path() + "/shot.png";
    ScopedEnv env;
    env.set("QUILLON_SCREENSHOT", path);
    os::set_tick_source(fake_tick);
    g_now = 5000;
    {
        DisplayParams params{3, 2, 0, 1};
        std::unique_ptr<NullDisplay> display = create_null_display(params);
        EXPECT_EQ(display->last_frame(), nullptr);
        EXPECT_LT(display->service(), 0);
        auto frame = numbered_frame({3, 2});
        ASSERT_TRUE(display->present(*frame));  // the first frame is written at once
        EXPECT_TRUE(std::filesystem::exists(path));
        const auto first_write = std::filesystem::last_write_time(path);
        frame->at(0, 0) = 0x07E0;
        g_now += 300;
        ASSERT_TRUE(display->present(*frame));
        frame->at(0, 0) = 0x001F;
        g_now += 300;
        ASSERT_TRUE(display->present(*frame));
        ASSERT_NE(display->last_frame(), nullptr);
        EXPECT_EQ(display->last_frame()->at(0, 0), 0x001F);
        EXPECT_EQ(display->last_frame()->at(2, 1), frame->at(2, 1));
        EXPECT_EQ(display->presented_count(), 3);
        // Held back until the second is over.
        EXPECT_EQ(display->service(), 400);
        EXPECT_EQ(std::filesystem::last_write_time(path), first_write);
        g_now += 400;
        EXPECT_LT(display->service(), 0);
        // A frame presented now waits again, and is written when the display goes (at exit).
        frame->at(1, 1) = 0xFFFF;
        g_now += 10;
        ASSERT_TRUE(display->present(*frame));
        EXPECT_GT(display->service(), 0);
    }
    os::set_tick_source(nullptr);
    env.unset("QUILLON_SCREENSHOT");

    // The file on disk is the last frame: read it back.
    std::FILE* file = std::fopen(path.c_str(), "rb");
    ASSERT_NE(file, nullptr);
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    ASSERT_EQ(setjmp(png_jmpbuf(png)), 0);
    png_init_io(png, file);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    ASSERT_EQ(png_get_image_width(png, info), 3u);
    ASSERT_EQ(png_get_image_height(png, info), 2u);
    png_bytepp rows = png_get_rows(png, info);
    EXPECT_EQ(rows[0][2], 255);  // blue of 0x001F at (0, 0)
    EXPECT_EQ(rows[0][0], 0);
    EXPECT_EQ(rows[1][3], 255);  // white at (1, 1)
    EXPECT_EQ(rows[1][4], 255);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
    EXPECT_FALSE(std::filesystem::exists(path + ".part"));
}

TEST(NoDisplayTest, StandInDriversCountAsNoDisplayUnlessAskedFor) {
    // SDL falls back on its offscreen driver by itself when nothing else works; the program must
    // then know it has no screen.
    ScopedEnv env;
    env.unset("SDL_VIDEODRIVER");
    const char* display = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if (display || wayland) GTEST_SKIP() << "a display server is reachable here";
    std::string error;
    EXPECT_FALSE(VideoSession::open(error));
    EXPECT_FALSE(error.empty());
    env.set("SDL_VIDEODRIVER", "dummy");
    EXPECT_TRUE(VideoSession::open(error));
    env.unset("SDL_VIDEODRIVER");
}

}  // namespace
