// quillon-tool settings as a real process: what it prints, what it changes through the document,
// what it refuses, and that "AutoRecord" follows the launch registration's result.
#include <sqlite3.h>

#include <algorithm>
#include <string>

#include "os/registry.h"
#include "os/text.h"
#include "tests/calls/calls_test_support.h"

namespace {

using namespace calls_test;

class SettingsTool : public CallsFixture {
protected:
    std::string printed() {
        const ProgramRun shown = settings({});
        EXPECT_EQ(shown.status, 0) << shown.output;
        return shown.output;
    }
    std::string call_launch() {
        const std::string status = phone({"status"}).output;
        const size_t at = status.find("\"call_launch\":");
        return at == std::string::npos ? "?" : status.substr(at + 14, status.size() - at - 14 - 2);
    }
    // A refusal: non-zero status and exactly one line that says why.
    void expect_refused(const std::vector<std::string>& args, const std::string& reason_part) {
        const ProgramRun refused = settings(args);
        EXPECT_NE(refused.status, 0) << refused.output;
        EXPECT_EQ(std::count(refused.output.begin(), refused.output.end(), '\n'), 1) << refused.output;
        EXPECT_NE(refused.output.find(reason_part), std::string::npos) << refused.output;
    }
};

TEST_F(SettingsTool, PrintsChangesAndKeepsWhatItDidNotChange) {
    EXPECT_EQ(printed(),
              "{\"AutoRecord\":0,\"Speaker\":0,\"Format\":\"Mp3Middle\",\"Boost\":\"BoostOff\",\"VasLevel\":0,"
              "\"Volume\":1,\"Path\":\"\",\"Language\":\"\",\"NeverRecord\":\"\"}\n");

    for (const auto& [name, value] : std::vector<std::pair<std::string, std::string>>{
             {"Volume", "0.5"}, {"VasLevel", "0.25"}, {"Format", "Mp3Low"}, {"Boost", "Boost2"}, {"Speaker", "1"}}) {
        const ProgramRun changed = settings({name, value});
        EXPECT_EQ(changed.status, 0) << name << ": " << changed.output;
    }
    // Each change saves every value: the earlier ones survive the later ones.
    EXPECT_EQ(printed(),
              "{\"AutoRecord\":0,\"Speaker\":1,\"Format\":\"Mp3Low\",\"Boost\":\"Boost2\",\"VasLevel\":0.25,"
              "\"Volume\":0.5,\"Path\":\"\",\"Language\":\"\",\"NeverRecord\":\"\"}\n");
    // Stored as the document stores them: doubles with 20 fraction bits, texts as REG_SZ.
    uint32_t fixed = 0;
    ASSERT_TRUE(os::reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Volume", fixed));
    EXPECT_EQ(fixed, 524288u);
    ASSERT_TRUE(os::reg_read_dword(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"VasLevel", fixed));
    EXPECT_EQ(fixed, 262144u);
    std::u16string text;
    ASSERT_TRUE(os::reg_read_string(u"HKEY_CURRENT_USER\\Software\\Korvel\\Quillon Touch", u"Format", text));
    EXPECT_EQ(text, u"Mp3Low");

    // The numbers never recorded automatically, tidied; "" clears them.
    ASSERT_EQ(settings({"NeverRecord", " +44 20 7946 0958 ;; 112"}).status, 0);
    EXPECT_NE(printed().find("\"NeverRecord\":\"+44 20 7946 0958;112\"}"), std::string::npos) << printed();
    ASSERT_EQ(settings({"NeverRecord", ""}).status, 0);
    EXPECT_NE(printed().find("\"NeverRecord\":\"\"}"), std::string::npos) << printed();
}

TEST_F(SettingsTool, RefusesUnknownNamesAndBadValuesWithOneLine) {
    expect_refused({"Colour", "1"}, "unknown setting Colour");
    expect_refused({"AutoRecord", "2"}, "bad value for AutoRecord");
    expect_refused({"Speaker", "yes"}, "bad value for Speaker");
    // Texts match exactly, as the document reads them.
    expect_refused({"Format", "mp3low"}, "bad value for Format");
    expect_refused({"Boost", "boost1"}, "bad value for Boost");
    for (const char* number : {"1.5", "-0.1", "nan", "0.5x", ""}) expect_refused({"Volume", number}, "bad value");
    expect_refused({"VasLevel", "inf"}, "bad value for VasLevel");
    expect_refused({"Path", root.path() + "/missing.mp3"}, "not a recording");
    expect_refused({"Language", "English"}, "Language");
    expect_refused({"Volume"}, "usage");
    expect_refused({"NeverRecord", "+44 20 7946 0958;mum"}, "bad value for NeverRecord");
    // Nothing of that reached the registry.
    EXPECT_EQ(printed(),
              "{\"AutoRecord\":0,\"Speaker\":0,\"Format\":\"Mp3Middle\",\"Boost\":\"BoostOff\",\"VasLevel\":0,"
              "\"Volume\":1,\"Path\":\"\",\"Language\":\"\",\"NeverRecord\":\"\"}\n");
}

TEST_F(SettingsTool, AutoRecordFollowsTheRegistrationResult) {
    const std::string program = std::string(QUILLON_BIN_DIR) + "/quillon-touch";
    ASSERT_EQ(call_launch(), "null");
    ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
    EXPECT_NE(printed().find("\"AutoRecord\":1,"), std::string::npos);
    EXPECT_EQ(call_launch(), "\"\\\"" + program + "\\\" call\"");
    // Switching on again keeps the one entry.
    ASSERT_EQ(settings({"AutoRecord", "1"}).status, 0);
    EXPECT_EQ(call_launch(), "\"\\\"" + program + "\\\" call\"");

    ASSERT_EQ(settings({"AutoRecord", "0"}).status, 0);
    EXPECT_NE(printed().find("\"AutoRecord\":0,"), std::string::npos);
    EXPECT_EQ(call_launch(), "null");

    // While another writer holds the registry, the registration cannot be stored: the flag stays 0
    // and the tool says so.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(os::to_utf8(os::reg_database_path()).c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    const ProgramRun refused = settings({"AutoRecord", "1"});
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    EXPECT_NE(refused.status, 0);
    EXPECT_NE(refused.output.find("AutoRecord stays 0"), std::string::npos) << refused.output;
    EXPECT_NE(printed().find("\"AutoRecord\":0,"), std::string::npos);
    EXPECT_EQ(call_launch(), "null");
}

TEST_F(SettingsTool, PathSelectsAnExistingRecording) {
    std::vector<std::string> paths;
    for (int i = 0; i < 2; ++i) {
        const ProgramRun recorded = run("quillon-tool", {"record", "--seconds", "0.5"});
        ASSERT_EQ(recorded.status, 0) << recorded.output;
        paths.push_back(recorded.output.substr(0, recorded.output.find('\n')));
    }
    ASSERT_NE(paths[0], paths[1]);
    // The newer recording is the current one until the older is selected.
    EXPECT_NE(printed().find("\"Path\":" + os::json_string(os::from_utf8(paths[1]))), std::string::npos);
    ASSERT_EQ(settings({"Path", paths[0]}).status, 0);
    EXPECT_NE(printed().find("\"Path\":" + os::json_string(os::from_utf8(paths[0]))), std::string::npos);
}

TEST_F(SettingsTool, ChangeWhileAnInstanceRunsIsSavedAndSaysWhenItApplies) {
    start_touch();
    const ProgramRun changed = settings({"Boost", "Boost1"});
    EXPECT_EQ(changed.status, 0);
    EXPECT_NE(changed.output.find("takes effect at its next start"), std::string::npos) << changed.output;
    EXPECT_NE(printed().find("\"Boost\":\"Boost1\""), std::string::npos);
    EXPECT_EQ(stop_touch(), 0);
}

}  // namespace
