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

private:
    void place(int axis);

    Widget* m_line = nullptr;
    double m_value = 0.0;
};
