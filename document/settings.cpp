#include "document/settings.h"

#include "os/log.h"
#include "os/registry.h"
#include "os/text.h"

namespace {
constexpr double fixed_point_one = 1048576.0;

struct FormatRow {
    std::u16string_view name;
    int32_t rate;
    int32_t bit_rate;
};
constexpr FormatRow format_table[] = {
    {u"Mp3Low", 22050, 32000},
    {u"Mp3Middle", 44100, 64000},
    {u"Mp3High", 44100, 96000},
};

struct BoostRow {
    std::u16string_view name;
    int factor;
};
constexpr BoostRow boost_table[] = {{u"Boost1", 2}, {u"Boost2", 4}, {u"Boost3", 8}, {u"BoostOff", 1}};
}  // namespace

RecordFormat record_format_of(std::u16string_view format) {
    RecordFormat result;
    for (const FormatRow& row : format_table) {
        if (row.name == format) {
            result.rate = row.rate;
            result.bit_rate = row.bit_rate;
        }
    }
    return result;
}

bool is_known_format(std::u16string_view format) {
    for (const FormatRow& row : format_table) {
        if (row.name == format) return true;
    }
    return false;
}

int boost_factor_of(std::u16string_view boost) {
    for (const BoostRow& row : boost_table) {
        if (row.name == boost) return row.factor;
    }
    return 1;
}

bool is_known_boost(std::u16string_view boost) {
    for (const BoostRow& row : boost_table) {
        if (row.name == boost) return true;
    }
    return false;
}

std::u16string format_display_text(int32_t rate, int32_t bits, int32_t bit_rate) {
    std::u16string text = os::to_text(rate / 1000) + u"kHz " + os::to_text(bits) + u"bit";
    if (bit_rate != 0) text += u" " + os::to_text(bit_rate / 1000) + u"kbps";
    return text;
}

uint32_t to_fixed_point(double value) {
    const double scaled = value * fixed_point_one;
    // Out-of-range doubles would make the conversion undefined; clamp them to what 32 bits hold.
    if (!(scaled > 0.0)) return 0;
    if (scaled >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(scaled);
}

double from_fixed_point(uint32_t value) { return value / fixed_point_one; }

namespace {
// Keeps the first reason a read could not be done; an absent value is no reason.
void note_read(bool found, std::u16string& error) {
    if (!found && error.empty()) error = os::reg_last_error();
}
}  // namespace

void Settings::load_first() {
    note_read(os::reg_read_bool(settings_key, u"Speaker", speaker), read_error);
    std::u16string text;
    // An unknown text would record as the default anyway; keeping the default text as well means
    // the options screen shows, and the next save writes, what is really used.
    bool found = os::reg_read_string(settings_key, u"Format", text);
    note_read(found, read_error);
    if (found && is_known_format(text)) format = text;
    found = os::reg_read_string(settings_key, u"Boost", text);
    note_read(found, read_error);
    if (found && is_known_boost(text)) boost = text;
    uint32_t value = 0;
    found = os::reg_read_dword(settings_key, u"VasLevel", value);
    note_read(found, read_error);
    if (found) vas_level = from_fixed_point(value);
}

void Settings::load_secondary() {
    note_read(os::reg_read_bool(settings_key, u"AutoRecord", auto_record), read_error);
    uint32_t value = 1048576;
    note_read(os::reg_read_dword(settings_key, u"Volume", value), read_error);
    volume = from_fixed_point(value);
    value = 100;
    note_read(os::reg_read_dword(settings_key, u"PlaybackSpeed", value), read_error);
    // A hand-edited speed plays at the nearest one offered.
    playback_speed = value < 88 ? 75 : value < 113 ? 100 : value < 138 ? 125 : value < 175 ? 150 : 200;
    note_read(os::reg_read_bool(settings_key, u"SkipSilence", skip_silence), read_error);
}

bool Settings::save() const {
    // Each write waits a bounded time at most; once one fails the rest would only wait again.
    return os::reg_write_dword(settings_key, u"AutoRecord", auto_record ? 1 : 0) &&
           os::reg_write_dword(settings_key, u"Speaker", speaker ? 1 : 0) &&
           os::reg_write_string(settings_key, u"Format", format) &&
           os::reg_write_string(settings_key, u"Boost", boost) &&
           os::reg_write_dword(settings_key, u"Volume", to_fixed_point(volume)) &&
           os::reg_write_dword(settings_key, u"VasLevel", to_fixed_point(vas_level)) &&
           os::reg_write_dword(settings_key, u"PlaybackSpeed", static_cast<uint32_t>(playback_speed)) &&
           os::reg_write_dword(settings_key, u"SkipSilence", skip_silence ? 1 : 0);
}

std::u16string read_current_path() {
    std::u16string path;
    if (!os::reg_read_string(settings_key, u"Path", path)) path.clear();
    return path;
}

bool write_current_path(std::u16string_view path) {
    if (!os::reg_write_string(settings_key, u"Path", path)) {
        os::log() << u"write_current_path: " << os::reg_last_error() << u"\n";
        return false;
    }
    return flush_settings();
}

bool flush_settings() {
    // Both hives live in one database: one durable commit covers them.
    return os::reg_flush(u"HKEY_CURRENT_USER");
}
