#include "skin/png_writer.h"

#include <png.h>

#include <cstdio>
#include <vector>

#include "skin/bitmap.h"

bool save_png(const Bitmap& bitmap, const std::string& path) {
    if (bitmap.width() <= 0 || bitmap.height() <= 0) return false;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!png || !info) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    std::vector<png_byte> row(static_cast<size_t>(bitmap.width()) * 3);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(file);
        return false;
    }
    png_init_io(png, file);
    png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.width()), static_cast<png_uint_32>(bitmap.height()), 8,
                 PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (int32_t y = 0; y < bitmap.height(); ++y) {
        const Pixel* source = bitmap.row(y);
        for (int32_t x = 0; x < bitmap.width(); ++x) {
            const Pixel p = source[x];
            // Widen each channel by repeating its top bits, so white stays 255.
            const int r = (p >> 11) & 0x1F, g = (p >> 5) & 0x3F, b = p & 0x1F;
            row[3 * x] = static_cast<png_byte>((r << 3) | (r >> 2));
            row[3 * x + 1] = static_cast<png_byte>((g << 2) | (g >> 4));
            row[3 * x + 2] = static_cast<png_byte>((b << 3) | (b >> 2));
        }
        png_write_row(png, row.data());
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return std::fclose(file) == 0;
}
