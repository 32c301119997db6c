#include "os/date_time.h"

#include <gtest/gtest.h>

#include <ctime>

#include "os/text.h"

namespace {

// Fixes the locale for one test and gives the environment's back afterwards.
class LocaleScope {
public:
    explicit LocaleScope(const char* name) { os::set_locale(name); }
    ~LocaleScope() { os::set_locale(""); }
};

// ICU puts a narrow no-break space before "PM"; plain spaces keep the expectations readable.
std::string plain(const std::u16string& text) {
    std::u16string copy = text;
    for (char16_t& c : copy) {
        if (c == u'\u202F' || c == u'\u00A0') c = u' ';
    }
    return os::to_utf8(copy);
}

}  // namespace

TEST(DateTime, OrdersByFileTimeAndTruncatesMilliseconds) {
    const os::DateTime epoch(1970, 1, 1);
    EXPECT_EQ(epoch.file_time(), 116444736000000000LL);
    EXPECT_EQ(os::DateTime(1601, 1, 1).file_time(), 0);

    os::DateTime moment(2000, 11, 22, 15, 4, 5.6789);
    EXPECT_EQ(moment.whole_seconds(), 5);
    EXPECT_EQ(moment.milliseconds(), 678);
    EXPECT_DOUBLE_EQ(moment.seconds(), 5.678);
    EXPECT_EQ(moment.day_of_week(), 3);  // a Wednesday
    EXPECT_EQ(os::DateTime::from_file_time(moment.file_time()), moment);
    EXPECT_EQ(os::DateTime::from_file_time(moment.file_time()).milliseconds(), 678);

    os::DateTime later = moment;
    later.set_seconds(5.679);
    EXPECT_LT(moment, later);
    later.set_time(15, 4, 5.6789);
    EXPECT_EQ(moment, later);
    EXPECT_GT(os::DateTime(2000, 12, 1), moment);
    EXPECT_LT(os::DateTime(1999, 12, 31, 23, 59, 59.999), os::DateTime(2000, 1, 1));
    EXPECT_EQ(os::DateTime(2024, 2, 29).day_of_week(), 4);  // leap day, a Thursday

    // now() is the local time of the clock.
    const std::time_t seconds = std::time(nullptr);
    const os::DateTime expected = os::DateTime::from_unix_time(seconds);
    const int64_t difference = os::now().file_time() - expected.file_time();
    EXPECT_GE(difference, 0);
    EXPECT_LT(difference, 5LL * 10'000'000);
}

TEST(DateTime, FormatsInTheUsersLocale) {
    const os::DateTime date(2000, 11, 22, 15, 4, 5.25);
    {
        LocaleScope locale("en_US");
        EXPECT_EQ(os::month_day_pattern(true), u"MMMM dd");
        EXPECT_EQ(plain(os::format_date(date, true, true, false)), "November 22");
        EXPECT_EQ(plain(os::format_date(date, false, true, false)), "Nov 22");
        EXPECT_EQ(plain(os::format_date(date, true, false, false)), "November");
        EXPECT_EQ(plain(os::format_date(date, false, false, false)), "Nov");
        EXPECT_EQ(plain(os::format_date(date, true, true, true)), "November 22, 2000");
        EXPECT_EQ(plain(os::format_date(date, false, true, true)), "11/22/00");
        EXPECT_EQ(plain(os::format_date(date, true, false, true)), "November 2000");
        EXPECT_EQ(plain(os::format_time(date, true)), "3:04:05 PM");
        EXPECT_EQ(plain(os::format_time(date, false)), "3:04 PM");
        // The first of the month keeps two digits in the month-day pattern.
        EXPECT_EQ(plain(os::format_date(os::DateTime(2024, 3, 1), false, true, false)), "Mar 01");
    }
    {
        LocaleScope locale("de_DE");
        EXPECT_EQ(os::month_day_pattern(false), u"dd MMM");
        EXPECT_EQ(plain(os::format_date(date, true, true, false)), "22 November");
        EXPECT_EQ(plain(os::format_date(date, true, true, true)), "22. November 2000");
        EXPECT_EQ(plain(os::format_date(date, false, true, true)), "22.11.00");
        EXPECT_EQ(plain(os::format_time(date, true)), "15:04:05");
        EXPECT_EQ(plain(os::format_time(date, false)), "15:04");
    }
}
