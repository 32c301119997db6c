#pragma once
// The user's recording settings as the registry keeps them, and the tables that turn their texts
// into numbers. Values of the wrong type or unknown texts read as the defaults, so a damaged or
// hand-edited registry never stops a recording.
#include <cstdint>
#include <string>
#include <string_view>

inline constexpr std::u16string_view settings_key = u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch";
inline constexpr std::u16string_view hardware_state_key = u"HKEY_LOCAL_MACHINE\\System\\State\\Hardware";

inline constexpr std::u16string_view default_format = u"Mp3Middle";
inline constexpr std::u16string_view default_boost = u"BoostOff";

// What a "Format" text records: always MP3, mono, 16-bit.
struct RecordFormat {
    std::u16string codec = u"mp3";
    int32_t channels = 1;
    int32_t bits = 16;
    int32_t rate = 44100;
    int32_t bit_rate = 64000;
};

// The table of "Format" texts; any other text records as "Mp3Middle".
RecordFormat record_format_of(std::u16string_view format);
bool is_known_format(std::u16string_view format);
// The table of "Boost" texts (exact case); any other text is 1.
int boost_factor_of(std::u16string_view boost);
bool is_known_boost(std::u16string_view boost);
// "44kHz 16bit 64kbps"; the bit-rate part only when the bit rate is not 0.
std::u16string format_display_text(int32_t rate, int32_t bits, int32_t bit_rate);

// Doubles are stored with 20 fraction bits.
uint32_t to_fixed_point(double value);
double from_fixed_point(uint32_t value);

struct Settings {
    uint8_t auto_record = 0;
    uint8_t speaker = 0;
    std::u16string format{default_format};
    std::u16string boost{default_boost};
    double vas_level = 0.0;
    double volume = 1.0;
    // Playback: percent of normal speed (one of 75, 100, 125, 150, 200), and whether silences
    // longer than a second are shortened.
    int32_t playback_speed = 100;
    uint8_t skip_silence = 0;

    // Why a value could not be read at all (the registry is locked or refuses us), as opposed
    // to being absent; empty when every load read what the registry holds. The values that could
    // not be read keep their defaults, so a program can still run; a tool must say so.
    std::u16string read_error;

    // "Speaker", "Format", "Boost" and "VasLevel"; what is missing or unreadable keeps its default.
    void load_first();
    // "AutoRecord", "Volume", "PlaybackSpeed" and "SkipSilence".
    void load_secondary();
    // Every value, in a fixed order; false (with the reason in os::reg_last_error()) when one
    // could not be written. Does not flush.
    bool save() const;
};

// "Path", the record that was last started, renamed or selected; empty when absent.
std::u16string read_current_path();
// Writes "Path" and makes it durable at once; false when the registry refused.
bool write_current_path(std::u16string_view path);
// Makes every registry write so far durable (both hives the settings touch).
bool flush_settings();
