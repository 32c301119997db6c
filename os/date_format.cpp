// Date and time texts through ICU in the user's locale.
#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/locid.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>

#include "os/date_time.h"

namespace os {
namespace {

// Milliseconds from the file-time epoch to the Unix epoch.
constexpr int64_t kMillisecondsFrom1601To1970 = 11'644'473'600'000;

std::mutex g_locale_mutex;

// A DateTime is already local, so it is formatted as GMT: no time-zone rule may move it again.
UDate to_udate(const DateTime& value) {
    return static_cast<UDate>(value.file_time() / 10'000 - kMillisecondsFrom1601To1970);
}

std::string locale_from_environment();
bool g_locale_chosen = false;

// ICU guesses its default from the C library's locale and treats a variable that is set but
// empty (LC_ALL=) as a choice; the program's own rule (the first of LC_ALL, LC_MESSAGES, LANG that
// is set and not empty) decides instead, the same for dates as for the language file.
icu::Locale current_locale() {
    std::lock_guard lock(g_locale_mutex);
    if (!g_locale_chosen) {
        g_locale_chosen = true;
        UErrorCode status = U_ZERO_ERROR;
        icu::Locale::setDefault(icu::Locale(locale_from_environment().c_str()), status);
    }
    return icu::Locale::getDefault();
}

std::u16string to_u16(const icu::UnicodeString& text) {
    return std::u16string(text.getBuffer(), static_cast<size_t>(text.length()));
}

// Formatters are costly to build and a record list formats one date per row, so each thread keeps
// the ones it used, by locale and form.
icu::DateFormat* formatter(const std::string& form, const std::u16string& pattern_or_skeleton) {
    thread_local std::map<std::string, std::unique_ptr<icu::DateFormat>> cache;
    const icu::Locale locale = current_locale();
    const std::string key = std::string(locale.getName()) + "|" + form + "|" +
                            std::string(pattern_or_skeleton.begin(), pattern_or_skeleton.end());
    auto found = cache.find(key);
    if (found != cache.end()) return found->second.get();

    std::unique_ptr<icu::DateFormat> made;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString text(pattern_or_skeleton.data(), static_cast<int32_t>(pattern_or_skeleton.size()));
    if (form == "long") {
        made.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kLong, locale));
    } else if (form == "short") {
        made.reset(icu::DateFormat::createDateInstance(icu::DateFormat::kShort, locale));
    } else if (form == "time") {
        made.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kMedium, locale));
    } else if (form == "time-short") {
        made.reset(icu::DateFormat::createTimeInstance(icu::DateFormat::kShort, locale));
    } else if (form == "skeleton") {
        std::unique_ptr<icu::DateTimePatternGenerator> generator(
            icu::DateTimePatternGenerator::createInstance(locale, status));
        if (U_SUCCESS(status)) {
            const icu::UnicodeString best = generator->getBestPattern(text, status);
            if (U_SUCCESS(status)) made = std::make_unique<icu::SimpleDateFormat>(best, locale, status);
        }
    } else {
        made = std::make_unique<icu::SimpleDateFormat>(text, locale, status);
    }
    if (!made || U_FAILURE(status)) return nullptr;
    made->adoptTimeZone(icu::TimeZone::createTimeZone(u"GMT"));
    return (cache[key] = std::move(made)).get();
}

std::u16string format(icu::DateFormat* with, const DateTime& value) {
    if (!with) return {};
    icu::UnicodeString out;
    with->format(to_udate(value), out);
    // The platform formatted into a 128-character buffer; longer texts never fitted.
    if (out.length() > 127) out.truncate(127);
    return to_u16(out);
}

std::string locale_from_environment() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (!value || !*value) continue;
        std::string text(value);
        const size_t cut = text.find_first_of(".@");
        if (cut != std::string::npos) text.resize(cut);
        if (text == "C" || text == "POSIX") return "en_US_POSIX";
        return text;
    }
    return "en_US_POSIX";
}

}  // namespace

void set_locale(std::string_view name) {
    const std::string chosen = name.empty() ? locale_from_environment() : std::string(name);
    UErrorCode status = U_ZERO_ERROR;
    std::lock_guard lock(g_locale_mutex);
    g_locale_chosen = true;
    icu::Locale::setDefault(icu::Locale(chosen.c_str()), status);
}

std::u16string month_day_pattern(bool long_names) {
    const std::u16string sample = format(formatter("short", u""), DateTime(2000, 11, 22));
    const size_t month = sample.find(u"11");
    const size_t day = sample.find(u"22");
    const bool month_first = month != std::u16string::npos && day != std::u16string::npos && month < day;
    if (month_first) return long_names ? u"MMMM dd" : u"MMM dd";
    return long_names ? u"dd MMMM" : u"dd MMM";
}

std::u16string format_date(const DateTime& date, bool long_names, bool day, bool system_format) {
    if (system_format) {
        if (!day) return format(formatter("skeleton", u"yMMMM"), date);
        return format(formatter(long_names ? "long" : "short", u""), date);
    }
    if (day) return format(formatter("pattern", month_day_pattern(long_names)), date);
    return format(formatter("pattern", long_names ? u"MMMM" : u"MMM"), date);
}

std::u16string format_time(const DateTime& time, bool with_seconds) {
    return format(formatter(with_seconds ? "time" : "time-short", u""), time);
}

}  // namespace os
