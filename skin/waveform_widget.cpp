#include "skin/waveform_widget.h"

#include <algorithm>
#include <cmath>

namespace {
// A colour the skin does not give: the alpha a skin's own colours never have.
constexpr Color kNoColor{0, 0, 0, 0};
}  // namespace

void WaveformWidget::load(const Properties& properties, SkinElement element) {
    Widget::load(properties, element);
    m_color = properties.get_color(element, u"color", m_color);
    m_played = properties.get_color(element, u"played_color", m_played);
    m_cursor = properties.get_color(element, u"cursor_color", m_cursor);
    m_threshold_color = properties.get_color(element, u"threshold_color", m_threshold_color);
    m_background = properties.get_color(element, u"background_color", kNoColor);
    // Points follow the screen's density, so the bars keep their look on a phone.
    const Point column =
        properties.get_point(element, u"column", Point{2 << properties.hi_res(), 1 << properties.hi_res()});
    m_bar = std::clamp(column.x, 1, 64);
    m_gap = std::clamp(column.y, 0, 64);
    m_scroll = properties.get_int(element, u"scroll", 0) != 0;
    m_inset_min = properties.get_point(element, u"inset_min", Point{});
    m_inset_max = properties.get_point(element, u"inset_max", Point{});
    m_inset_min = {std::clamp(m_inset_min.x, 0, kMaxScreenLength), std::clamp(m_inset_min.y, 0, kMaxScreenLength)};
    m_inset_max = {std::clamp(m_inset_max.x, 0, kMaxScreenLength), std::clamp(m_inset_max.y, 0, kMaxScreenLength)};
}

Size WaveformWidget::inner_size() const {
    return {std::max(0, size().width - m_inset_min.x - m_inset_max.x),
            std::max(0, size().height - m_inset_min.y - m_inset_max.y)};
}

void WaveformWidget::set_peaks(std::vector<WavePeak> peaks, size_t whole_count) {
    m_whole_count = std::max(whole_count, peaks.size());
    m_peaks = std::move(peaks);
    mark_redraw();
}

void WaveformWidget::append_peaks(std::span<const WavePeak> peaks) {
    if (peaks.empty()) return;
    m_peaks.insert(m_peaks.end(), peaks.begin(), peaks.end());
    if (m_peaks.size() > 2 * max_scroll_peaks) {
        m_peaks.erase(m_peaks.begin(), m_peaks.end() - static_cast<std::ptrdiff_t>(max_scroll_peaks));
    }
    m_whole_count = m_peaks.size();
    mark_redraw();
}

void WaveformWidget::clear() {
    if (m_peaks.empty() && m_whole_count == 0) return;
    m_peaks.clear();
    m_whole_count = 0;
    mark_redraw();
}

void WaveformWidget::set_position(double fraction) {
    if (!std::isfinite(fraction)) fraction = -1.0;
    if (fraction >= 0.0) fraction = std::min(fraction, 1.0);
    if (fraction < 0.0) fraction = -1.0;
    if (fraction == m_position) return;
    // Only a change the eye can see costs a frame.
    const double width = std::max(1, inner_size().width);
    const bool visible =
        m_position < 0.0 || fraction < 0.0 || std::floor(m_position * width) != std::floor(fraction * width);
    m_position = fraction;
    if (visible) mark_redraw();
}

void WaveformWidget::set_threshold(double level) {
    if (!std::isfinite(level) || level < 0.0) level = 0.0;
    level = std::min(level, 1.0);
    if (level == m_threshold) return;
    m_threshold = level;
    mark_redraw();
}

int32_t WaveformWidget::column_count() const {
    const int32_t pitch = m_bar + m_gap;
    const int32_t width = inner_size().width;
    if (width < m_bar) return 0;
    return (width + m_gap) / pitch;
}

std::pair<size_t, size_t> WaveformWidget::column_span(int32_t column) const {
    const int32_t columns = column_count();
    if (columns <= 0 || column < 0 || column >= columns || m_whole_count == 0) return {0, 0};
    const auto n = static_cast<uint64_t>(m_whole_count);
    const auto first = static_cast<size_t>(n * static_cast<uint64_t>(column) / static_cast<uint64_t>(columns));
    auto last = static_cast<size_t>(n * static_cast<uint64_t>(column + 1) / static_cast<uint64_t>(columns));
    // Fewer pairs than columns: neighbouring columns show the same pair.
    if (last <= first) last = first + 1;
    return {first, last};
}

void WaveformWidget::draw_bar(RenderSurface& surface, Point origin, int32_t column, WavePeak peak, Color color) const {
    const int32_t height = inner_size().height;
    const int32_t middle = height / 2;
    const int32_t reach = std::max(0, (height - 1) / 2);
    const int32_t high = std::clamp<int32_t>(peak.high, -127, 127);
    const int32_t low = std::clamp<int32_t>(peak.low, -127, 127);
    int32_t top = middle - (std::max(high, 0) * reach + 63) / 127;
    int32_t bottom = middle + (std::max(-low, 0) * reach + 63) / 127 + 1;
    // Silence still shows as a line through the middle.
    bottom = std::max(bottom, top + 1);
    const int32_t left = origin.x + column * (m_bar + m_gap);
    surface.fill({left, origin.y + top, left + m_bar, origin.y + bottom}, color);
}

void WaveformWidget::draw(RenderSurface& surface, Point widget_origin) {
    const Size whole = size();
    if (m_background.alpha != 0 && whole.width > 0 && whole.height > 0) {
        surface.fill({widget_origin.x, widget_origin.y, widget_origin.x + whole.width, widget_origin.y + whole.height},
                     m_background);
    }
    const Size own = inner_size();
    const Point origin{widget_origin.x + m_inset_min.x, widget_origin.y + m_inset_min.y};
    if (own.width <= 0 || own.height <= 0) {
        Widget::draw(surface, widget_origin);
        return;
    }
    const int32_t columns = column_count();
    if (m_scroll) {
        const size_t shown = std::min<size_t>(m_peaks.size(), static_cast<size_t>(std::max(columns, 0)));
        const size_t first = m_peaks.size() - shown;
        const int32_t first_column = columns - static_cast<int32_t>(shown);
        for (size_t i = 0; i < shown; ++i) {
            draw_bar(surface, origin, first_column + static_cast<int32_t>(i), m_peaks[first + i], m_played);
        }
    } else {
        const double played_edge = m_position < 0.0 ? -1.0 : m_position * own.width;
        for (int32_t c = 0; c < columns; ++c) {
            const auto [first, last] = column_span(c);
            if (first >= m_peaks.size()) continue;  // not computed yet
            WavePeak peak{127, -127};
            for (size_t i = first; i < std::min(last, m_peaks.size()); ++i) {
                peak.low = std::min(peak.low, m_peaks[i].low);
                peak.high = std::max(peak.high, m_peaks[i].high);
            }
            if (peak.low > peak.high) peak = {0, 0};
            const double centre = c * (m_bar + m_gap) + m_bar * 0.5;
            draw_bar(surface, origin, c, peak, centre < played_edge ? m_played : m_color);
        }
    }
    if (m_threshold > 0.0) {
        const int32_t middle = own.height / 2;
        const int32_t reach = std::max(0, (own.height - 1) / 2);
        const auto offset = static_cast<int32_t>(std::lround(m_threshold * reach));
        const int32_t thickness = std::max(1, m_gap);
        for (int32_t y : {middle - offset, middle + offset}) {
            surface.fill({origin.x, origin.y + y, origin.x + own.width, origin.y + y + thickness}, m_threshold_color);
        }
    }
    if (!m_scroll && m_position >= 0.0) {
        const int32_t thickness = std::max(1, (m_bar + 1) / 2);
        int32_t x = static_cast<int32_t>(std::floor(m_position * own.width)) - thickness / 2;
        x = std::clamp(x, 0, std::max(0, own.width - thickness));
        surface.fill({origin.x + x, origin.y, origin.x + x + thickness, origin.y + own.height}, m_cursor);
    }
    Widget::draw(surface, widget_origin);
}
