#pragma once
// Colours as the skin stores them, and their RGB565 screen form.
#include <cstdint>

using Pixel = uint16_t;

struct Color {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 255;
    friend bool operator==(const Color&, const Color&) = default;
};

// Alpha plays no part here: fills are always solid.
constexpr Pixel to_pixel(Color color) {
    return static_cast<Pixel>(((color.red >> 3) << 11) | ((color.green & 0xFC) << 3) | (color.blue >> 3));
}

// Pure magenta is the colour key of every picture: a fully transparent pixel.
constexpr Pixel kKeyPixel = 0xF81F;
// The lowest green bit marks an opaque pixel; without it the stored colour is pre-reduced so that a
// blitter can add part of the destination to it without overflowing a channel.
constexpr Pixel kOpaqueBit = 0x20;
