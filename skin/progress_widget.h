#pragma once
// A bar ("progress") whose optional child "#line" takes the share v (0 empty .. 1 full) of the
// length inside its borders, on each axis by its own anchor: a horizontal bar has a MIN_SIDE
// "#line" along x and BOTH_SIDE along y.
#include "skin/widget.h"

class ProgressWidget : public Widget {
public:
    using Widget::Widget;
    void load(const Properties& properties, SkinElement element) override;
    void layout_x() override;
    void layout_y() override;

    double value() const { return m_value; }
    // Clamped to 0..1; anything that is not a number counts as 0.
    void set_value(double value);
    Widget* line() const { return m_line; }
    // A slider's bar: its "#line" ends in the thumb, the fixed ends of its picture, which must always
    // show whole. The line then runs from those ends alone at 0 to the whole length at 1, so the
    // thumb shows at 0 and is never cut near either end.
    void set_keeps_thumb(bool keeps);
    bool keeps_thumb() const { return m_keeps_thumb; }

private:
    void place(int axis);
    // The length of the line's picture that never stretches, along the axis (0 without a picture).
    int32_t thumb_length(int axis) const;

    Widget* m_line = nullptr;
    double m_value = 0.0;
    bool m_keeps_thumb = false;
};
