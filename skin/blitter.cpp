#include "skin/blitter.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <utility>

namespace {
// One template carries a pixel rule through all four row operations.
template <typename Rule>
class RuleBlitter final : public Blitter {
public:
    explicit RuleBlitter(Rule rule = Rule{}) : m_rule(rule) {}

    void copy_row(Pixel* dst, Pixel* dst_end, const Pixel* src) const override {
        // Source and destination rows never overlap; saying so lets the compiler vectorise the rule.
        Pixel* __restrict out = dst;
        const Pixel* __restrict in = src;
        const ptrdiff_t count = dst_end - dst;
        for (ptrdiff_t i = 0; i < count; ++i) out[i] = m_rule(in[i], out[i]);
    }
    void stretch_row(Pixel* dst, Pixel* dst_end, const Pixel* src_row, int32_t x, int32_t step) const override {
        for (; dst < dst_end; ++dst, x += step) *dst = m_rule(src_row[x >> 10], *dst);
    }
    void scaled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift) const override {
        for (int32_t i = 0; i < count; ++i) dst[i] = m_rule(src_row[(start + i) >> shift], dst[i]);
    }
    void tiled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift, int32_t wrap_from,
                   int32_t wrap_to) const override {
        int32_t a = start;
        for (int32_t i = 0; i < count; ++i) {
            dst[i] = m_rule(src_row[a >> shift], dst[i]);
            a = a + 1 == wrap_to ? wrap_from : a + 1;
        }
    }

private:
    Rule m_rule;
};

struct OpaqueRule {
    Pixel operator()(Pixel s, Pixel) const { return s; }
};
// The plain copy is the hot path of frame composition: a row is one memcpy.
class OpaqueBlitter final : public Blitter {
public:
    void copy_row(Pixel* dst, Pixel* dst_end, const Pixel* src) const override {
        if (dst_end > dst) std::memcpy(dst, src, static_cast<size_t>(dst_end - dst) * sizeof(Pixel));
    }
    void stretch_row(Pixel* dst, Pixel* dst_end, const Pixel* src_row, int32_t x, int32_t step) const override {
        m_rule.stretch_row(dst, dst_end, src_row, x, step);
    }
    void scaled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift) const override {
        if (shift == 0) {
            if (count > 0) std::memcpy(dst, src_row + start, static_cast<size_t>(count) * sizeof(Pixel));
            return;
        }
        m_rule.scaled_row(dst, src_row, start, count, shift);
    }
    void tiled_row(Pixel* dst, const Pixel* src_row, int32_t start, int32_t count, int32_t shift, int32_t wrap_from,
                   int32_t wrap_to) const override {
        m_rule.tiled_row(dst, src_row, start, count, shift, wrap_from, wrap_to);
    }

private:
    RuleBlitter<OpaqueRule> m_rule;
};

struct Level0Rule {
    Pixel operator()(Pixel s, Pixel d) const { return s == kKeyPixel ? d : s; }
};
struct Level1Rule {
    Pixel operator()(Pixel s, Pixel d) const {
        return s == kKeyPixel ? d : (s & kOpaqueBit ? s : static_cast<Pixel>(s + ((d >> 2) & 0x39E7)));
    }
};
struct Level2Rule {
    Pixel operator()(Pixel s, Pixel d) const {
        return s == kKeyPixel ? d : (s & kOpaqueBit ? s : static_cast<Pixel>(s + ((d >> 1) & 0x7BEF)));
    }
};
struct Level3Rule {
    Pixel operator()(Pixel s, Pixel d) const {
        return s == kKeyPixel
                   ? d
                   : (s & kOpaqueBit ? s : static_cast<Pixel>(s + ((d >> 2) & 0x39E7) + ((d >> 1) & 0x7BEF)));
    }
};
struct Level4Rule {
    Pixel operator()(Pixel s, Pixel d) const { return s & kOpaqueBit ? s : d; }
};
struct TextWriteBackRule {
    Pixel operator()(Pixel s, Pixel d) const { return s == d ? d : static_cast<Pixel>(s | kOpaqueBit); }
};

struct TintRule {
    int32_t fr, fg, fb;
    bool combine;
    Pixel operator()(Pixel s, Pixel d) const {
        const int32_t red = ((s >> 11) & 0x1F) * fr >> 8;
        const int32_t green = (((s >> 5) & 0x3F) * fg >> 8) & 0x3F;
        const int32_t blue = (s & 0x1F) * fb >> 8;
        // Factors above 256 could push red past its five bits; the shift keeps it in the pixel.
        const Pixel tinted = static_cast<Pixel>((red << 11) | (green << 5) | (blue & 0x1F));
        return combine ? static_cast<Pixel>(d | tinted) : tinted;
    }
};
}  // namespace

const Blitter& opaque_blitter() {
    static const OpaqueBlitter blitter;
    return blitter;
}

const Blitter& level_blitter(int32_t level) {
    static const RuleBlitter<Level0Rule> level0;
    static const RuleBlitter<Level1Rule> level1;
    static const RuleBlitter<Level2Rule> level2;
    static const RuleBlitter<Level3Rule> level3;
    static const RuleBlitter<Level4Rule> level4;
    static const Blitter* const levels[] = {&level0, &level1, &level2, &level3, &level4};
    return *levels[std::clamp(level, 0, 4)];
}

const Blitter& text_write_back_blitter() {
    static const RuleBlitter<TextWriteBackRule> blitter;
    return blitter;
}

const Blitter& translucency_blitter(int32_t value) {
    if (value == -1) return opaque_blitter();
    return level_blitter(std::clamp(value / 64, 0, 4));
}

std::unique_ptr<Blitter> make_tint_blitter(int32_t red_factor, int32_t green_factor, int32_t blue_factor,
                                           bool combine) {
    return std::make_unique<RuleBlitter<TintRule>>(TintRule{red_factor, green_factor, blue_factor, combine});
}

int32_t dimming_level(int32_t value) {
    // Widened so the extreme values of a skin integer cannot overflow the rounding.
    return static_cast<int32_t>(std::clamp<int64_t>((static_cast<int64_t>(value) + 8) / 16, 0, 16));
}

namespace {
// p × n / 16 per channel of two packed pixels, from the pixel and its halves, quarters, eighths
// and sixteenths added or subtracted in order. Each level uses the combination with the smallest
// rounding error whose running value stays inside every channel at every step, so no term
// carries or borrows into a neighbouring channel.
constexpr int8_t kDimTerms[17][5] = {
    {0, 0, 0, 0, 0},  {0, 0, 0, 0, 1},  {0, 0, 0, 1, 0},  {0, 0, 1, 0, -1}, {0, 0, 1, 0, 0},  {0, 1, -1, 1, -1},
    {0, 1, 0, -1, 0}, {0, 1, 0, 0, -1}, {0, 1, 0, 0, 0},  {1, -1, 0, 0, 1}, {1, -1, 0, 1, 0}, {1, -1, 1, -1, 1},
    {1, -1, 1, 0, 0}, {1, 0, -1, 0, 1}, {1, 0, -1, 1, 0}, {1, 0, 0, -1, 1}, {1, 0, 0, 0, 0},
};

template <int Level>
inline uint32_t dim_word(uint32_t p) {
    const uint32_t parts[5] = {p, (p >> 1) & 0x7BEF7BEFu, (p >> 2) & 0x39E739E7u, (p >> 3) & 0x18E318E3u,
                               (p >> 4) & 0x08610861u};
    uint32_t sum = 0;
    for (int i = 0; i < 5; ++i) {
        if (kDimTerms[Level][i] > 0) sum += parts[i];
        if (kDimTerms[Level][i] < 0) sum -= parts[i];
    }
    return sum;
}

// One row at a fixed level, so the terms fold into straight-line code.
template <int Level>
void dim_row_at(Pixel* begin, Pixel* end) {
    // A single leading pixel brings the rest onto a 32-bit boundary. A lone pixel is dimmed in the
    // low half of a word whose high half is zero, so nothing leaks into it.
    if (reinterpret_cast<uintptr_t>(begin) & 2) {
        *begin = static_cast<Pixel>(dim_word<Level>(*begin));
        ++begin;
    }
    const ptrdiff_t words = (end - begin) / 2;
    // Pixel rows are read as 32-bit words; the type says so to the optimiser.
    using PackedPixels = uint32_t __attribute__((may_alias));
    PackedPixels* packed = reinterpret_cast<PackedPixels*>(begin);
    for (ptrdiff_t i = 0; i < words; ++i) packed[i] = dim_word<Level>(packed[i]);
    begin += 2 * words;
    if (begin < end) *begin = static_cast<Pixel>(dim_word<Level>(*begin));
}

template <size_t... Levels>
constexpr auto make_dim_rows(std::index_sequence<Levels...>) {
    return std::array<void (*)(Pixel*, Pixel*), sizeof...(Levels)>{&dim_row_at<static_cast<int>(Levels)>...};
}
constexpr auto kDimRows = make_dim_rows(std::make_index_sequence<17>());
}  // namespace

void dim_row(Pixel* begin, Pixel* end, int32_t level) {
    level = std::clamp(level, 0, 16);
    if (level == 16 || end <= begin) return;
    if (level == 0) {
        std::fill(begin, end, Pixel{0});
        return;
    }
    kDimRows[static_cast<size_t>(level)](begin, end);
}
