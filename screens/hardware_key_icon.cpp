#include "screens/hardware_key_icon.h"

#include <algorithm>
#include <memory>

#include "skin/bitmap.h"

namespace screens {
namespace {

constexpr Color kRecordRed{0xE5, 0x39, 0x35, 255};

// A mark that stays readable on whatever background the skin chose.
Color ink_for(Color background) {
    const int luma = (background.red * 299 + background.green * 587 + background.blue * 114) / 1000;
    return luma < 128 ? Color{0xF2, 0xF2, 0xF2, 255} : Color{0x20, 0x20, 0x20, 255};
}

Pixel opaque(Color color) { return static_cast<Pixel>(to_pixel(color) | kOpaqueBit); }

}  // namespace

HardwareKeySign hardware_key_sign(std::u16string_view icon) {
    return icon.find(u"record") != std::u16string_view::npos ? HardwareKeySign::Record : HardwareKeySign::Key;
}

PictureRef make_hardware_key_icon(HardwareKeySign sign, Color background, Size size) {
    if (size.width <= 0 || size.height <= 0) return {};
    auto bitmap = std::make_shared<Bitmap>(size.width, size.height);
    const int32_t side = std::min(size.width, size.height);
    const int32_t left = (size.width - side) / 2;
    const int32_t top = (size.height - side) / 2;
    const Pixel fill = opaque(background);
    const Pixel mark = opaque(sign == HardwareKeySign::Record ? kRecordRed : ink_for(background));
    for (int32_t y = 0; y < size.height; ++y) {
        for (int32_t x = 0; x < size.width; ++x) bitmap->at(x, y) = fill;
    }
    // Drawn on a grid of 32 × 32 units over the square in the middle.
    auto rect = [&](int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
        for (int32_t y = top + y0 * side / 32; y < top + y1 * side / 32; ++y) {
            for (int32_t x = left + x0 * side / 32; x < left + x1 * side / 32; ++x) bitmap->at(x, y) = mark;
        }
    };
    if (sign == HardwareKeySign::Record) {
        // A disc half the side across, the record sign of every recorder.
        const int32_t radius = side / 2;  // in half pixels
        for (int32_t y = 0; y < side; ++y) {
            for (int32_t x = 0; x < side; ++x) {
                const int32_t dx = 2 * x + 1 - side;
                const int32_t dy = 2 * y + 1 - side;
                if (dx * dx + dy * dy <= radius * radius) bitmap->at(left + x, top + y) = mark;
            }
        }
    } else {
        // A keyboard: its outline, two rows of keys and the space bar.
        rect(2, 7, 30, 9);
        rect(2, 23, 30, 25);
        rect(2, 7, 4, 25);
        rect(28, 7, 30, 25);
        for (int32_t key = 0; key < 5; ++key) {
            rect(7 + key * 4, 11, 9 + key * 4, 13);
            rect(7 + key * 4, 15, 9 + key * 4, 17);
        }
        rect(10, 19, 22, 21);
    }
    PictureRef picture;
    picture.p0 = {0, 0};
    picture.p1 = {0, 0};
    picture.p2 = {size.width, size.height};
    picture.p3 = {size.width, size.height};
    picture.bitmap = std::move(bitmap);
    return picture;
}

}  // namespace screens
