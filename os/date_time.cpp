#include "os/date_time.h"

#include <time.h>

#include <cmath>

namespace os {
namespace {

constexpr int64_t kTicksPerMillisecond = 10'000;
constexpr int64_t kTicksPerDay = 864'000'000'000;
// Days from 1 January 1601 (the file-time epoch) to 1 January 1970.
constexpr int64_t kDaysFrom1601To1970 = 134'774;

// Days since 1 January 1970 in the proleptic Gregorian calendar (H. Hinnant's civil algorithm).
int64_t days_from_civil(int64_t year, unsigned month, unsigned day) {
    year -= month <= 2;
    const int64_t era = (year >= 0 ? year : year - 399) / 400;
    const auto year_of_era = static_cast<unsigned>(year - era * 400);
    const unsigned day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + static_cast<int64_t>(day_of_era) - 719468;
}

void civil_from_days(int64_t days, int& year, int& month, int& day) {
    days += 719468;
    const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned mp = (5 * day_of_year + 2) / 153;
    day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(static_cast<int64_t>(year_of_era) + era * 400 + (month <= 2));
}

}  // namespace

DateTime::DateTime(int year, int month, int day, int hour, int minute, double seconds) {
    set_date(year, month, day);
    set_time(hour, minute, seconds);
}

DateTime DateTime::from_file_time(int64_t file_time) {
    DateTime result;
    if (file_time < 0) return result;
    const int64_t days = file_time / kTicksPerDay;
    int64_t rest = (file_time % kTicksPerDay) / kTicksPerMillisecond;
    civil_from_days(days - kDaysFrom1601To1970, result.m_year, result.m_month, result.m_day);
    result.m_millisecond = static_cast<int>(rest % 1000);
    rest /= 1000;
    result.m_second = static_cast<int>(rest % 60);
    rest /= 60;
    result.m_minute = static_cast<int>(rest % 60);
    result.m_hour = static_cast<int>(rest / 60);
    return result;
}

DateTime DateTime::from_unix_time(int64_t seconds, int64_t nanoseconds) {
    const auto when = static_cast<time_t>(seconds);
    struct tm local {};
    DateTime result;
    if (!localtime_r(&when, &local)) return result;
    result.m_year = local.tm_year + 1900;
    result.m_month = local.tm_mon + 1;
    result.m_day = local.tm_mday;
    result.m_hour = local.tm_hour;
    result.m_minute = local.tm_min;
    result.m_second = local.tm_sec > 59 ? 59 : local.tm_sec;  // a leap second has no file time
    result.m_millisecond = static_cast<int>(nanoseconds / 1'000'000);
    return result;
}

int DateTime::day_of_week() const {
    const int64_t days = days_from_civil(m_year, static_cast<unsigned>(m_month), static_cast<unsigned>(m_day));
    // 1 January 1970 was a Thursday.
    return static_cast<int>(((days % 7) + 11) % 7);
}

void DateTime::set_date(int year, int month, int day) {
    m_year = year;
    m_month = month;
    m_day = day;
}

void DateTime::set_time(int hour, int minute, double seconds) {
    m_hour = hour;
    m_minute = minute;
    set_seconds(seconds);
}

void DateTime::set_seconds(double seconds) {
    const double whole = std::trunc(seconds);
    m_second = static_cast<int>(whole);
    m_millisecond = static_cast<int>((seconds - whole) * 1000);
}

int64_t DateTime::file_time() const {
    const int64_t days =
        days_from_civil(m_year, static_cast<unsigned>(m_month), static_cast<unsigned>(m_day)) + kDaysFrom1601To1970;
    const int64_t milliseconds =
        ((static_cast<int64_t>(m_hour) * 60 + m_minute) * 60 + m_second) * 1000 + m_millisecond;
    return days * kTicksPerDay + milliseconds * kTicksPerMillisecond;
}

DateTime now() {
    struct timespec moment {};
    clock_gettime(CLOCK_REALTIME, &moment);
    return DateTime::from_unix_time(moment.tv_sec, moment.tv_nsec);
}

}  // namespace os
