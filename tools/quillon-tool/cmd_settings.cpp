// quillon-tool settings [NAME VALUE]: without arguments prints the settings of the document's key
// as one JSON object, in the order the document saves them, followed by "Path" and "Language"
// (empty texts when absent) and "NeverRecord", the numbers never recorded automatically:
//
//     {"AutoRecord":0,"Speaker":0,"Format":"Mp3Middle","Boost":"BoostOff","VasLevel":0,"Volume":1,
//      "Path":"","Language":"","NeverRecord":""}
//
// With NAME VALUE it changes one setting through the Document, as the options menu does, and saves
// them all with a hive flush. "AutoRecord" goes through the launch registration: the flag changes
// only when the registration follows it, else the command fails and the flag stays. "VasLevel" and
// "Volume" are fractions from 0 to 1 (the registry keeps them with 20 fraction bits). "Path" selects
// an existing recording. "NeverRecord" is a list of numbers separated by ";" ("" clears it), each
// matched as the contacts match numbers (document/never_record.h). "Language" belongs to the language files and is only
// shown. A running quillon-touch keeps the settings it read at its start (a warning says so).
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "document/never_record.h"
#include "os/path.h"
#include "os/registry.h"
#include "os/text.h"
#include "telephony/process_launch.h"
#include "tools/quillon-tool/command.h"
#include "tools/quillon-tool/document_session.h"

namespace {

constexpr const char* usage_text =
    "usage: quillon-tool settings [NAME VALUE]  (NAME: AutoRecord 0|1, Speaker 0|1, Format Mp3Low|Mp3Middle|Mp3High, "
    "Boost BoostOff|Boost1|Boost2|Boost3, VasLevel 0..1, Volume 0..1, Path FILE, NeverRecord \"NUMBER;NUMBER...\")";

// Shortest text that reads back as the same double, so 0.5 prints as 0.5 and not 0.500000.
std::string number_text(double value) {
    char text[32];
    for (int digits = 1; digits <= 17; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, value);
        if (std::strtod(text, nullptr) == value) break;
    }
    return text;
}

std::u16string never_record_joined() {
    std::u16string text;
    for (const std::u16string& number : never_record_numbers()) text += (text.empty() ? u"" : u";") + number;
    return text;
}

// Prints the values as the document holds them after loading, i.e. what a running program uses.
// A value that could not be read is never shown as its default: the command fails instead.
int print_settings(Document& document) {
    const Settings& settings = document.settings();
    if (!settings.read_error.empty()) return fail("cannot read the settings: " + os::to_utf8(settings.read_error));
    std::u16string language;
    if (!os::reg_read_string(settings_key, u"Language", language)) language.clear();
    std::u16string error = os::reg_last_error();
    const std::u16string current_path = read_current_path();
    if (error.empty()) error = os::reg_last_error();
    const std::u16string never_record = never_record_joined();
    if (error.empty()) error = os::reg_last_error();
    if (!error.empty()) return fail("cannot read the settings: " + os::to_utf8(error));
    std::printf(
        "{\"AutoRecord\":%d,\"Speaker\":%d,\"Format\":%s,\"Boost\":%s,\"VasLevel\":%s,\"Volume\":%s,\"Path\":%s,"
        "\"Language\":%s,\"NeverRecord\":%s}\n",
        settings.auto_record ? 1 : 0, settings.speaker ? 1 : 0, os::json_string(settings.format).c_str(),
        os::json_string(settings.boost).c_str(), number_text(document.level().vas_level()).c_str(),
        number_text(document.player().volume()).c_str(), os::json_string(current_path).c_str(),
        os::json_string(language).c_str(), os::json_string(never_record).c_str());
    std::fflush(stdout);
    return 0;
}

bool parse_flag(const std::string& text, bool& out) {
    if (text != "0" && text != "1") return false;
    out = text == "1";
    return true;
}

// A fraction from 0 to 1; anything else (words, NaN, trailing junk) is refused rather than clamped.
bool parse_fraction(const std::string& text, double& out) {
    if (text.empty()) return false;
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (!end || *end != 0 || !std::isfinite(value) || value < 0.0 || value > 1.0) return false;
    out = value;
    return true;
}

// quillon-tool is not the program the platform should start for a call: unless told otherwise the
// registration names the quillon-touch installed beside it.
bool choose_call_program() {
    const char* chosen = std::getenv("QUILLON_TOUCH_PROGRAM");
    if (chosen && *chosen) return true;
    const std::string program = os::to_utf8(os::program_folder()) + "/quillon-touch";
    if (::access(program.c_str(), X_OK) != 0) return false;
    ::setenv("QUILLON_TOUCH_PROGRAM", program.c_str(), 1);
    return true;
}

// Changes one setting; an empty text on success, else the reason.
std::string change_setting(Document& document, const std::string& name, const std::string& value) {
    const std::string bad_value = "bad value for " + name + ": " + value;
    if (name == "AutoRecord") {
        bool enabled = false;
        if (!parse_flag(value, enabled)) return bad_value + " (0 or 1)";
        if (enabled && !choose_call_program()) return "no quillon-touch beside quillon-tool; set QUILLON_TOUCH_PROGRAM";
        if (!document.set_auto_record(enabled)) {
            return std::string("the launch registration refused the change; AutoRecord stays ") +
                   (document.settings().auto_record ? "1" : "0");
        }
    } else if (name == "Speaker") {
        bool on = false;
        if (!parse_flag(value, on)) return bad_value + " (0 or 1)";
        document.settings().speaker = on ? 1 : 0;
    } else if (name == "Format") {
        if (!is_known_format(os::from_utf8(value))) return bad_value + " (Mp3Low, Mp3Middle or Mp3High)";
        document.settings().format = os::from_utf8(value);
    } else if (name == "Boost") {
        if (!is_known_boost(os::from_utf8(value))) return bad_value + " (BoostOff, Boost1, Boost2 or Boost3)";
        document.set_boost(os::from_utf8(value));
    } else if (name == "VasLevel" || name == "Volume") {
        double fraction = 0.0;
        if (!parse_fraction(value, fraction)) return bad_value + " (a number from 0 to 1)";
        // The document saves these from the nodes that use them, so that is where they go.
        if (name == "VasLevel") {
            document.level().set_vas_level(fraction);
        } else {
            document.player().set_volume(fraction);
        }
    } else if (name == "Path") {
        // Selecting writes "Path" and flushes at once.
        if (!document.select(os::from_utf8(value))) return value + ": not a recording";
        const std::u16string error = os::reg_last_error();
        if (!error.empty()) return "the setting could not be saved: " + os::to_utf8(error);
        return {};
    } else if (name == "NeverRecord") {
        // Kept apart from the document's own settings, which it saves as a whole.
        if (!set_never_record_numbers(os::from_utf8(value))) return bad_value + " (numbers separated by ;)";
        return {};
    } else if (name == "Language") {
        return "Language is chosen by the language files, not through the document";
    } else {
        return "unknown setting " + name;
    }
    if (!document.save_settings()) return "the settings could not be saved: " + os::to_utf8(os::reg_last_error());
    return {};
}

int run_settings(const std::vector<std::string>& args) {
    if (args.size() != 0 && args.size() != 2) return fail(usage_text);
    document_tool::DocumentSession session;
    Document& document = *session.document;
    // The document's second loading phase without its side effects: the stored launch flag is not
    // re-applied and no record scan starts. The volume goes into the player, from where it is saved.
    document.settings().load_secondary();
    document.player().set_volume(document.settings().volume);
    if (args.empty()) return print_settings(document);
    const std::string reason = change_setting(document, args[0], args[1]);
    if (!reason.empty()) return fail(reason);
    // A running instance read its settings at start and writes all of them back when they change.
    if (quillon_touch_running()) {
        std::fprintf(stderr, "quillon-tool: quillon-touch runs; the change takes effect at its next start\n");
    }
    return 0;
}

const ToolCommand command{
    "settings", "[NAME VALUE]",
    "print the document's settings as one JSON object ({\"AutoRecord\":0,...}), or change one "
    "through the Document and save: AutoRecord 0|1, Speaker 0|1, Format Mp3Low|Mp3Middle|Mp3High, "
    "Boost BoostOff|Boost1|Boost2|Boost3, VasLevel 0..1, Volume 0..1, Path FILE, NeverRecord \"NUMBER;...\"",
    &run_settings};

}  // namespace
