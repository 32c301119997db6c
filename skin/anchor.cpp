#include "skin/anchor.h"

#include <algorithm>

AnchorType parse_anchor(std::u16string_view keyword) {
    if (keyword == u"MIN_SIDE") return AnchorType::MinSide;
    if (keyword == u"BOTH_SIDE") return AnchorType::BothSide;
    if (keyword == u"MAX_SIDE") return AnchorType::MaxSide;
    if (keyword == u"RATIO") return AnchorType::Ratio;
    if (keyword == u"CENTER") return AnchorType::Center;
    if (keyword == u"MIN_SIDE_NO_SIZE") return AnchorType::MinSideNoSize;
    if (keyword == u"MAX_SIDE_NO_SIZE") return AnchorType::MaxSideNoSize;
    return AnchorType::BothSide;
}

int32_t required_length(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t length) {
    switch (anchor) {
        case AnchorType::MinSide:
            return border_min + length;
        case AnchorType::MaxSide:
            return length + border_max;
        case AnchorType::MinSideNoSize:
        case AnchorType::MaxSideNoSize:
            return 0;
        default:
            return border_min + length + border_max;
    }
}

int32_t border_length(AnchorType anchor, int32_t border_min, int32_t border_max) {
    switch (anchor) {
        case AnchorType::MinSide:
        case AnchorType::MinSideNoSize:
            return border_min;
        case AnchorType::MaxSide:
        case AnchorType::MaxSideNoSize:
            return border_max;
        default:
            return border_min + border_max;
    }
}

int32_t child_size(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t parent_length,
                   int32_t preferred) {
    const int32_t room = parent_length - border_min - border_max;
    const int32_t available = anchor == AnchorType::MinSide   ? parent_length - border_min
                              : anchor == AnchorType::MaxSide ? parent_length - border_max
                                                              : room;
    const int32_t wanted = anchor == AnchorType::BothSide ? room : preferred;
    const bool never_cut = anchor == AnchorType::MinSideNoSize || anchor == AnchorType::MaxSideNoSize;
    const int32_t size = never_cut ? wanted : std::min(available, wanted);
    return std::max(size, 0);
}

int32_t child_offset(AnchorType anchor, int32_t border_min, int32_t border_max, int32_t parent_length, int32_t size) {
    switch (anchor) {
        case AnchorType::MaxSide:
        case AnchorType::MaxSideNoSize:
            return std::max(0, parent_length - size - border_max);
        case AnchorType::Center: {
            const int32_t half = (parent_length - border_min - border_max) / 2;
            return border_min + (size / 2 >= half ? 0 : half - size / 2);
        }
        default:
            return border_min;
    }
}
