#pragma once
// The shape of a sound ("waveform"): one bar per column from the lowest to the highest sample of
// the peak pairs that column covers, drawn in the skin's colours.
//
// Two ways to show it. By default the pairs given stand for the whole recording, spread over the
// width: the columns before the position are drawn in "played_color", the rest in "color", and a
// "cursor_color" line marks the position. With "scroll" set the newest pairs stand at the right
// edge, one column each, in "played_color", and older ones move left as new ones come.
//
// Keys: "color", "played_color", "cursor_color", "threshold_color" (the voice-activation
// threshold, two lines mirrored about the middle), "background_color" (filled behind the bars;
// without it nothing is), "column" (a point: bar width and gap between bars, default 2 and 1),
// "scroll" (integer), "inset_min" and "inset_max" (points: room kept free inside the widget's
// left/top and right/bottom edges, which, unlike borders, asks the parent for no length).
#include <cstdint>
#include <span>
#include <vector>

#include "skin/widget.h"

// The lowest and highest sample of a stretch of sound, in 1/127 of full scale.
struct WavePeak {
    int8_t low = 0;
    int8_t high = 0;
    friend bool operator==(const WavePeak&, const WavePeak&) = default;
};

class WaveformWidget : public Widget {
public:
    // Live pairs kept beyond what the widest screen shows are dropped.
    static constexpr size_t max_scroll_peaks = 4096;

    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override;
    void draw(RenderSurface& surface, Point origin) override;

    // The whole recording's pairs, of which `whole_count` will exist once all have arrived (0: as
    // many as given); columns whose pairs have not arrived yet are left empty.
    void set_peaks(std::vector<WavePeak> peaks, size_t whole_count = 0);
    // New live pairs, shown at the right edge.
    void append_peaks(std::span<const WavePeak> peaks);
    void clear();
    const std::vector<WavePeak>& peaks() const { return m_peaks; }
    size_t whole_count() const { return m_whole_count; }

    // The played share of the whole, 0 .. 1; below 0 there is no position (no cursor, nothing
    // played).
    void set_position(double fraction);
    double position_fraction() const { return m_position; }
    // The voice-activation threshold, 0 .. 1 of full scale; 0 or less draws none.
    void set_threshold(double level);
    double threshold() const { return m_threshold; }

    bool scrolls() const { return m_scroll; }
    int32_t bar_width() const { return m_bar; }
    int32_t bar_gap() const { return m_gap; }
    // How many bars fit in the width now.
    int32_t column_count() const;
    // The pairs column c covers in the whole-recording view: [first, last).
    std::pair<size_t, size_t> column_span(int32_t column) const;

private:
    void draw_bar(RenderSurface& surface, Point origin, int32_t column, WavePeak peak, Color color) const;
    // The part of the widget the bars use.
    Size inner_size() const;

    std::vector<WavePeak> m_peaks;
    size_t m_whole_count = 0;
    double m_position = -1.0;
    double m_threshold = 0.0;
    bool m_scroll = false;
    int32_t m_bar = 2;
    int32_t m_gap = 1;
    Point m_inset_min;
    Point m_inset_max;
    Color m_color{0x5B, 0x62, 0x6C, 255};
    Color m_played{0x5A, 0xA9, 0xFF, 255};
    Color m_cursor{0xF2, 0xF4, 0xF7, 255};
    Color m_threshold_color{0xFF, 0x5A, 0x4E, 255};
    Color m_background{0, 0, 0, 0};
};
