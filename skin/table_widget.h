#pragma once
// Rows ("htable", along x) and columns ("vtable", along y) that share their length among their
// visible children: each gets at least its minimum, grows toward its preferred length, and the
// children with a positive "table_ratio" share what is left. The cross axis follows the base rules.
#include "skin/widget.h"

class TableWidget : public Widget {
public:
    TableWidget(Widget* parent, int axis) : Widget(parent), m_axis(axis) {}

    void layout_x() override;
    void layout_y() override;

protected:
    MeasuredPair compute_width() override;
    MeasuredPair compute_height() override;

private:
    MeasuredPair measure_table();
    void place_table();

    int m_axis;
};

class HTableWidget : public TableWidget {
public:
    explicit HTableWidget(Widget* parent = nullptr) : TableWidget(parent, 0) {}
};

class VTableWidget : public TableWidget {
public:
    explicit VTableWidget(Widget* parent = nullptr) : TableWidget(parent, 1) {}
};
