#pragma once
// Local date and time, and the program's date and time texts in the user's locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace os {

// A local calendar date and time to the millisecond. Two values are ordered by their file-time
// form (100-nanosecond intervals since 1 January 1601 of the same local calendar).
class DateTime {
public:
    DateTime() = default;
    DateTime(int year, int month, int day, int hour = 0, int minute = 0, double seconds = 0);
    // From the file-time form; values outside the calendar give 1 January 1601.
    static DateTime from_file_time(int64_t file_time);
    // From seconds (and nanoseconds) since the Unix epoch, in local time.
    static DateTime from_unix_time(int64_t seconds, int64_t nanoseconds = 0);

    int year() const { return m_year; }
    int month() const { return m_month; }  // 1 to 12
    int day() const { return m_day; }
    int hour() const { return m_hour; }
    int minute() const { return m_minute; }
    // Whole seconds plus milliseconds / 1000.
    double seconds() const { return m_second + m_millisecond / 1000.0; }
    int whole_seconds() const { return m_second; }
    int milliseconds() const { return m_millisecond; }
    // 0 = Sunday .. 6 = Saturday.
    int day_of_week() const;

    void set_date(int year, int month, int day);
    void set_time(int hour, int minute, double seconds);
    // Stores the whole part as seconds and the fraction × 1000, truncated, as milliseconds.
    void set_seconds(double seconds);

    int64_t file_time() const;

    friend bool operator==(const DateTime& a, const DateTime& b) { return a.file_time() == b.file_time(); }
    friend auto operator<=>(const DateTime& a, const DateTime& b) { return a.file_time() <=> b.file_time(); }

private:
    int m_year = 1601;
    int m_month = 1;
    int m_day = 1;
    int m_hour = 0;
    int m_minute = 0;
    int m_second = 0;
    int m_millisecond = 0;
};

// The current local time.
DateTime now();

// With system_format: the locale's long date (long_names) or short date, or its year-month form
// when day is false. Without: the month-day pattern ("MMMM dd", "dd MMM", ...) when day is true,
// else the month name alone ("MMMM" or "MMM").
std::u16string format_date(const DateTime& date, bool long_names, bool day, bool system_format);
// The locale's time, with or without seconds.
std::u16string format_time(const DateTime& time, bool with_seconds);
// "MMMM dd" / "MMM dd" in month-first locales, else "dd MMMM" / "dd MMM": decided by where "11"
// and "22" fall in the locale's short form of 22 November 2000.
std::u16string month_day_pattern(bool long_names);

// The locale taken from the environment (LC_ALL, LC_MESSAGES, LANG) is used unless this names
// another ("de_DE", "en_US"); an empty name goes back to the environment's.
void set_locale(std::string_view name);

}  // namespace os
