#pragma once
// How a widget hangs in its parent along one axis, and the arithmetic of the layout rules.
#include <cstdint>
#include <string_view>

enum class AnchorType : int32_t {
    MinSide = 0,
    BothSide = 1,
    MaxSide = 2,
    Ratio = 3,
    Center = 4,
    MinSideNoSize = 5,
    MaxSideNoSize = 6,
};

// Exact, case-sensitive keywords; anything else is BOTH_SIDE.
AnchorType parse_anchor(std::u16string_view keyword);

// A measured length: preferred and minimum; preferred -1 means "not measured yet".
struct MeasuredPair {
    int32_t preferred = -1;
    int32_t minimum = -1;
    friend bool operator==(const MeasuredPair&, const MeasuredPair&) = default;
};

// The parent length a child of measured length `length` needs.
int32_t required_length(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t length);
// The borders a child takes inside a table.
int32_t border_length(AnchorType anchor, int32_t border_min, int32_t border_max);
// The size of a child with preferred length `preferred` inside a parent length.
int32_t child_size(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t parent_length, int32_t preferred);
// The offset of a child of size `size` inside a parent length.
int32_t child_offset(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t parent_length, int32_t size);
