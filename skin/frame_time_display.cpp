#include "skin/frame_time_display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "skin/draw_text.h"
#include "skin/text_widget.h"

void FrameTimeDisplay::record(double seconds) {
    m_times.push_back(seconds);
    while (m_times.size() > kFrames) m_times.pop_front();
}

double FrameTimeDisplay::average_ms() const {
    if (m_times.size() < 2) return 0.0;
    return (m_times.back() - m_times.front()) * 1000.0 / static_cast<double>(m_times.size() - 1);
}

std::u16string FrameTimeDisplay::text(bool frame_pending, int64_t pixels) const {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.1f ms", average_ms());
    std::string time = buffer;
    if (!frame_pending) time = "[" + time + "]";
    std::snprintf(buffer, sizeof buffer, " %lld Kp", static_cast<long long>(pixels / 1000));
    const std::string all = time + buffer;
    return std::u16string(all.begin(), all.end());
}

Color FrameTimeDisplay::color_for(double average_ms) {
    auto mix = [](Color a, Color b, double t) {
        t = std::clamp(t, 0.0, 1.0);
        auto channel = [t](uint8_t x, uint8_t y) { return static_cast<uint8_t>(std::lround(x + (y - x) * t)); };
        return Color{channel(a.red, b.red), channel(a.green, b.green), channel(a.blue, b.blue), 255};
    };
    constexpr Color green{0, 255, 0, 255};
    constexpr Color yellow{255, 255, 0, 255};
    constexpr Color red{255, 0, 0, 255};
    if (average_ms > 60.0) return red;
    if (average_ms > 40.0) return mix(yellow, red, (average_ms - 40.0) / 20.0);
    if (average_ms > 20.0) return mix(green, yellow, (average_ms - 20.0) / 20.0);
    return green;
}

void FrameTimeDisplay::draw(RenderSurface& frame, bool frame_pending) {
    if (!m_font) m_font = default_font(0);
    frame.filter(
        {0, 0, 150, 20}, [](Pixel* b, Pixel* e, int32_t n) { dim_row(b, e, n); }, dimming_level(128));
    ::draw_text(frame, *m_font, color_for(average_ms()), text(frame_pending, RenderSurface::pixel_count()),
                {2, 0, 150, 20}, HAlign::Left, VAlign::VCenter, false);
}
