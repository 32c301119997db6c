#pragma once
// An RGB565 pixel buffer: rows top to bottom, `pitch` bytes apart. It either owns its pixels or
// borrows memory that the display layer owns (a frame buffer, a texture).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "skin/color.h"
#include "skin/geometry.h"

class Bitmap {
public:
    // Owned pixels, rows packed; the content starts zeroed.
    Bitmap(int32_t width, int32_t height);
    // Borrowed pixels; the owner keeps them alive for the bitmap's life.
    Bitmap(Pixel* pixels, int32_t width, int32_t height, int32_t pitch_bytes);
    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    int32_t width() const { return m_width; }
    int32_t height() const { return m_height; }
    Size size() const { return {m_width, m_height}; }
    int32_t pitch() const { return m_pitch; }
    Pixel* row(int32_t y) { return reinterpret_cast<Pixel*>(reinterpret_cast<uint8_t*>(m_pixels) + y * m_pitch); }
    const Pixel* row(int32_t y) const {
        return reinterpret_cast<const Pixel*>(reinterpret_cast<const uint8_t*>(m_pixels) + y * m_pitch);
    }
    Pixel& at(int32_t x, int32_t y) { return row(y)[x]; }
    Pixel at(int32_t x, int32_t y) const { return row(y)[x]; }

private:
    std::vector<Pixel> m_storage;
    Pixel* m_pixels = nullptr;
    int32_t m_width = 0;
    int32_t m_height = 0;
    int32_t m_pitch = 0;
};

// Largest picture side and area accepted from a file; anything beyond is refused before a byte of
// pixel memory is allocated.
constexpr int32_t kMaxBitmapSide = 8192;
constexpr int64_t kMaxBitmapPixels = 16 * 1024 * 1024;

struct BitmapLoad {
    enum class Status { Ok, CannotRead, Not16Bit, BadSize };
    Status status = Status::CannotRead;
    std::shared_ptr<Bitmap> bitmap;
};

// Reads a 16-bit Windows bitmap as RGB565, honouring bottom-up (positive height) and top-down
// (negative height) row order and the 4-byte row padding. The path is used as given.
BitmapLoad load_565_file(const std::u16string& path);
// The same, with the outcome reduced to the bitmap or none.
std::shared_ptr<Bitmap> load_565(const std::u16string& path);
// The same over bytes already in memory (the fuzzer and the compiler use it).
BitmapLoad load_565_bytes(const uint8_t* data, size_t size);
