#include "skin/bitmap.h"

#include <cstdio>
#include <cstring>

#include "os/file.h"
#include "os/text.h"

Bitmap::Bitmap(int32_t width, int32_t height)
    : m_storage(static_cast<size_t>(width > 0 ? width : 0) * static_cast<size_t>(height > 0 ? height : 0)),
      m_pixels(m_storage.data()),
      m_width(width > 0 ? width : 0),
      m_height(height > 0 ? height : 0),
      m_pitch(m_width * 2) {}

Bitmap::Bitmap(Pixel* pixels, int32_t width, int32_t height, int32_t pitch_bytes)
    : m_pixels(pixels), m_width(width), m_height(height), m_pitch(pitch_bytes) {}

namespace {
constexpr size_t kFileHeader = 14;
constexpr size_t kInfoHeader = 40;

uint32_t read_u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t read_u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
}  // namespace

BitmapLoad load_565_bytes(const uint8_t* data, size_t size) {
    BitmapLoad result;
    if (size < kFileHeader + kInfoHeader || data[0] != 'B' || data[1] != 'M') {
        result.status = BitmapLoad::Status::CannotRead;
        return result;
    }
    const uint32_t pixel_offset = read_u32(data + 10);
    const int32_t width = static_cast<int32_t>(read_u32(data + kFileHeader + 4));
    const int32_t raw_height = static_cast<int32_t>(read_u32(data + kFileHeader + 8));
    const uint16_t bit_count = read_u16(data + kFileHeader + 14);
    if (bit_count != 16) {
        result.status = BitmapLoad::Status::Not16Bit;
        return result;
    }
    const bool top_down = raw_height < 0;
    const int64_t height = top_down ? -static_cast<int64_t>(raw_height) : raw_height;
    // Row length in the file, padded to whole 32-bit words.
    const int64_t file_pitch = (16 * static_cast<int64_t>(width) + 31) / 32 * 4;
    if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
        static_cast<int64_t>(width) * height > kMaxBitmapPixels || pixel_offset > size ||
        file_pitch * (height - 1) + width * 2 > static_cast<int64_t>(size - pixel_offset)) {
        result.status = BitmapLoad::Status::BadSize;
        return result;
    }
    auto bitmap = std::make_shared<Bitmap>(width, static_cast<int32_t>(height));
    for (int64_t file_row = 0; file_row < height; ++file_row) {
        const int32_t y = static_cast<int32_t>(top_down ? file_row : height - 1 - file_row);
        const uint8_t* source = data + pixel_offset + file_row * file_pitch;
        Pixel* target = bitmap->row(y);
        for (int32_t x = 0; x < width; ++x) target[x] = read_u16(source + 2 * x);
    }
    result.status = BitmapLoad::Status::Ok;
    result.bitmap = std::move(bitmap);
    return result;
}

BitmapLoad load_565_file(const std::u16string& path) {
    BitmapLoad result;
    std::FILE* file = os::open_data_file(path);
    if (!file) return result;
    std::vector<uint8_t> bytes;
    uint8_t buffer[65536];
    size_t got;
    while ((got = std::fread(buffer, 1, sizeof buffer, file)) > 0) {
        // A picture file bigger than the largest accepted picture is refused as it is read.
        if (bytes.size() + got > static_cast<size_t>(kMaxBitmapPixels) * 2 + 1024 * 1024) {
            std::fclose(file);
            result.status = BitmapLoad::Status::BadSize;
            return result;
        }
        bytes.insert(bytes.end(), buffer, buffer + got);
    }
    std::fclose(file);
    return load_565_bytes(bytes.data(), bytes.size());
}

std::shared_ptr<Bitmap> load_565(const std::u16string& path) { return load_565_file(path).bitmap; }
