#pragma once
// Pixel geometry shared by layout and drawing. Positions are absolute screen pixels.
#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;
    friend bool operator==(const Point&, const Point&) = default;
};

struct Size {
    int32_t width = 0;
    int32_t height = 0;
    friend bool operator==(const Size&, const Size&) = default;
};

// The longest side a layout result or a drawing surface may have: more than a screen shows, and
// small enough that no value in a skin can ask for a surface larger than memory holds, or make the
// layout's sums overflow.
constexpr int32_t kMaxScreenLength = 8192;
// Positions stay within a few screens of the origin for the same reason.
constexpr int32_t kMaxScreenPosition = 8 * kMaxScreenLength;

inline int32_t clamp_length(int64_t length) {
    return length < 0 ? 0 : length > kMaxScreenLength ? kMaxScreenLength : static_cast<int32_t>(length);
}
inline int32_t clamp_position(int64_t position) {
    return position < -kMaxScreenPosition  ? -kMaxScreenPosition
           : position > kMaxScreenPosition ? kMaxScreenPosition
                                           : static_cast<int32_t>(position);
}

// Right and bottom are exclusive.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    bool empty() const { return right <= left || bottom <= top; }
    friend bool operator==(const Rect&, const Rect&) = default;
};
