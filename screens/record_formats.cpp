#include "screens/record_formats.h"

#include <cmath>

#include "os/text.h"

namespace screens {

namespace {
std::u16string number(uint64_t value) { return os::from_utf8(std::to_string(value)); }

std::u16string two_digits(uint64_t value) { return (value < 10 ? u"0" : u"") + number(value); }
}  // namespace

std::u16string duration_text(double seconds) {
    // A negative or unknown duration shows as nothing recorded yet.
    const uint64_t whole = std::isfinite(seconds) && seconds > 0 ? static_cast<uint64_t>(seconds) : 0;
    const uint64_t hours = whole / 3600;
    if (hours > 9) return number(hours) + u" h";
    return number(hours) + u":" + two_digits(whole / 60 % 60) + u":" + two_digits(whole % 60);
}

std::u16string size_text(uint64_t bytes) {
    if (bytes <= 1023) return number(bytes) + u"B";
    if (bytes > 1048575) return number(bytes / 1048576) + u"." + number(bytes % 1048576 * 10 / 1048576) + u"M";
    return number(bytes / 1024) + u"K";
}

std::u16string format_text(int32_t sample_rate, int32_t bits_per_sample, int32_t bit_rate) {
    std::u16string text = number(static_cast<uint64_t>(std::max(0, sample_rate)) / 1000) + u"kHz " +
                          number(static_cast<uint64_t>(std::max(0, bits_per_sample))) + u"bit";
    if (bit_rate > 0) text += u" " + number(static_cast<uint64_t>(bit_rate) / 1000) + u"kbps";
    return text;
}

}  // namespace screens
